// One meter per data folder, with real processes: a second start brings the
// first forward and ends; a killed meter's lock and socket block nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "instance/SingleInstance.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// A started instance_probe and what it prints.
class Probe {
public:
    Probe(const std::string& folder, const std::string& runtime, const std::string& patienceMs = "3000") {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            ::execl(INSTANCE_PROBE, INSTANCE_PROBE, folder.c_str(), patienceMs.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~Probe() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    // The next line it prints, "" when none comes within the wait.
    std::string nextLine(std::chrono::milliseconds wait = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const std::size_t newline = buffer_.find('\n');
            if (newline != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{out_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
            char chunk[256];
            const ssize_t got = ::read(out_, chunk, sizeof chunk);
            if (got <= 0) return {};
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
    }
    // Its exit status, -1 when it has not ended within the wait.
    int exitStatus(std::chrono::milliseconds wait = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            ::usleep(10'000);
        }
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void kill() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        ended_ = true;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool ended_ = false;
    std::string buffer_;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    SingleInstanceTest() { ::chmod(runtime_.path().toLocal8Bit().constData(), 0700); }
    std::string folder(const char* name = "velmora") const { return data_.filePath(name).toStdString(); }
    std::string runtime() const { return runtime_.path().toStdString(); }
    QString socketOf(const std::string& folder) const {
        ::setenv("XDG_RUNTIME_DIR", runtime().c_str(), 1);
        return SingleInstance(folder).socketPath();
    }

    QTemporaryDir data_;
    QTemporaryDir runtime_;
};

TEST_F(SingleInstanceTest, ASecondStartBringsTheMeterForwardAndEndsAtOnce) {
    Probe first(folder(), runtime());
    ASSERT_EQ(first.nextLine(), "meter");
    const auto started = std::chrono::steady_clock::now();
    Probe second(folder(), runtime());
    EXPECT_EQ(second.nextLine(), "second");
    EXPECT_EQ(second.exitStatus(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s); // it did not wait out its patience
    EXPECT_EQ(first.nextLine(), "forward");
    Probe third(folder(), runtime());
    EXPECT_EQ(third.exitStatus(), 0);
    EXPECT_EQ(first.nextLine(), "forward");
}

TEST_F(SingleInstanceTest, AKilledMetersLockAndSocketBlockNoNewStart) {
    Probe first(folder(), runtime());
    ASSERT_EQ(first.nextLine(), "meter");
    first.kill();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder() + "/velmora.lock")));
    EXPECT_TRUE(QFile::exists(socketOf(folder())));
    Probe next(folder(), runtime());
    ASSERT_EQ(next.nextLine(), "meter");
    Probe second(folder(), runtime());
    EXPECT_EQ(second.exitStatus(), 0);
    EXPECT_EQ(next.nextLine(), "forward");
}

TEST_F(SingleInstanceTest, EachDataFolderHasItsOwnMeter) {
    Probe here(folder("hier"), runtime());
    Probe there(folder("dort"), runtime());
    EXPECT_EQ(here.nextLine(), "meter");
    EXPECT_EQ(there.nextLine(), "meter");
    EXPECT_NE(socketOf(folder("hier")), socketOf(folder("dort")));
}

// Whatever the lock's holder does, a second start never meters: should the
// holder not answer (here this test process, which has no socket), the second
// start still ends after its patience, with status 0.
TEST_F(SingleInstanceTest, AHolderThatDoesNotAnswerStillKeepsTheSecondStartOut) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder())));
    SidecarLock held(folder() + "/velmora", std::chrono::milliseconds(0)); // "velmora.lock"
    ASSERT_TRUE(held.held());
    Probe second(folder(), runtime(), "500");
    EXPECT_EQ(second.nextLine(), "second");
    EXPECT_EQ(second.exitStatus(), 0);
}

// A data folder that cannot be made says nothing of another copy: not being
// able to meter at all would be worse than the slim chance of two meters.
TEST_F(SingleInstanceTest, WithoutALockFileTheStartStillMeters) {
    QFile blocking(QString::fromStdString(folder()));
    ASSERT_TRUE(blocking.open(QIODevice::WriteOnly)); // a file where the folder should be
    Probe first(folder() + "/velmora", runtime());
    EXPECT_EQ(first.nextLine(), "meter");
}

TEST_F(SingleInstanceTest, TheLockIsPrivateAndTheFolderIsMadePrivate) {
    Probe first(folder("neu/velmora"), runtime());
    ASSERT_EQ(first.nextLine(), "meter");
    struct stat info {};
    ASSERT_EQ(::stat((folder("neu/velmora") + "/velmora.lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(folder("neu/velmora").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

} // namespace
} // namespace velmora
