// One meter per data folder, with real processes: a second start brings the
// first forward and ends; a killed meter's lock and socket block nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "instance/SingleInstance.h"
#include "support/OtherUser.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// A started instance_probe and what it prints.
class Probe {
public:
    Probe(const std::string& folder, const std::string& runtime, const std::string& patienceMs = "3000",
          bool asOtherUser = false) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            if (asOtherUser && (::setgroups(0, nullptr) != 0 ||
                                ::setresgid(testing::kOtherUid, testing::kOtherUid, testing::kOtherUid) != 0 ||
                                ::setresuid(testing::kOtherUid, testing::kOtherUid, testing::kOtherUid) != 0))
                ::_exit(testing::kCannotRunHere);
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
    void signal(int number) { ::kill(pid_, number); }
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
    std::string socketOf(const std::string& folder) const {
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
    EXPECT_TRUE(std::filesystem::exists(socketOf(folder())));
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

// A lock that cannot be opened once let every start meter, so two meters
// logged the same connection twice. Now only an answering meter decides; with
// none, the start shows its window without a meter and says why.
TEST_F(SingleInstanceTest, ALockThatCannotBeOpenedDecidesNothing) {
    QFile blocking(QString::fromStdString(folder("datei")));
    ASSERT_TRUE(blocking.open(QIODevice::WriteOnly)); // a file where the folder should be
    Probe noFolder(folder("datei") + "/velmora", runtime(), "300");
    EXPECT_EQ(noFolder.nextLine().rfind("undecided: " + folder("datei") + "/velmora/velmora.lock: ", 0), 0u);

    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder())));
    const std::string lock = folder() + "/velmora.lock";
    std::filesystem::create_symlink(folder() + "/nirgends", lock); // dangling
    Probe first(folder(), runtime(), "300");
    const std::string said = first.nextLine();
    EXPECT_EQ(said.rfind("undecided: " + lock + ": sie ist ein symbolischer Verweis", 0), 0u) << said;
    EXPECT_NE(said.find("misst deshalb nicht"), std::string::npos) << said;
    EXPECT_TRUE(std::filesystem::is_symlink(lock)); // left as it is
}

// A meter runs when its lock is replaced (a start as root left one behind):
// the next start cannot open the lock, asks, and the meter answers.
TEST_F(SingleInstanceTest, AMeterThatAnswersKeepsTheNextStartOutWhateverTheLock) {
    Probe meter(folder(), runtime());
    ASSERT_EQ(meter.nextLine(), "meter");
    const std::string lock = folder() + "/velmora.lock";
    std::filesystem::remove(lock);
    std::filesystem::create_symlink(folder() + "/nirgends", lock);
    Probe second(folder(), runtime());
    EXPECT_EQ(second.nextLine(), "second");
    EXPECT_EQ(second.exitStatus(), 0);
    EXPECT_EQ(meter.nextLine(), "forward");
}

// Root's lock file (0600) in the data folder of a user who is not root.
TEST_F(SingleInstanceTest, ALockLeftByRootKeepsAUserStartFromMetering) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder())));
    const std::string lock = folder() + "/velmora.lock";
    { SidecarLock made(folder() + "/velmora", std::chrono::milliseconds(0)); } // root's, 0600
    ASSERT_TRUE(testing::giveTo(data_.path().toStdString(), testing::kOtherUid));
    ASSERT_TRUE(testing::giveTo(runtime(), testing::kOtherUid));
    ASSERT_EQ(::lchown(lock.c_str(), 0, 0), 0);
    Probe user(folder(), runtime(), "300", true);
    const std::string said = user.nextLine();
    if (said.empty() && user.exitStatus() == testing::kCannotRunHere) GTEST_SKIP() << "cannot become another user";
    EXPECT_EQ(said.rfind("undecided: " + lock + ": keine Berechtigung", 0), 0u) << said;
}

// The socket goes only where no one else can put a file: the runtime folder
// or the data folder when they are the user's alone, never a shared one.
TEST_F(SingleInstanceTest, TheSocketLivesOnlyInAFolderOfOurOwn) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder())));
    QTemporaryDir shared;
    ASSERT_EQ(::chmod(shared.path().toLocal8Bit().constData(), 01777), 0);
    const auto socketWith = [&](const QString& runtimeFolder) {
        if (runtimeFolder.isEmpty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", runtimeFolder.toLocal8Bit().constData(), 1);
        return SingleInstance(folder()).socketPath();
    };
    EXPECT_EQ(socketWith(runtime_.path()).rfind(runtime() + "/velmora-", 0), 0u);
    EXPECT_EQ(socketWith(shared.path()), folder() + "/velmora.socket");
    EXPECT_EQ(socketWith({}), folder() + "/velmora.socket");
    ASSERT_EQ(::chmod(folder().c_str(), 0777), 0);
    EXPECT_EQ(socketWith({}), "");
    EXPECT_EQ(socketWith(shared.path()), "");
}

// Another user listening where our socket is looked for, answering anyone.
class Impostor {
public:
    explicit Impostor(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            path.copy(address.sun_path, sizeof address.sun_path - 1);
            if (::setgroups(0, nullptr) != 0 ||
                ::setresgid(testing::kOtherUid, testing::kOtherUid, testing::kOtherUid) != 0 ||
                ::setresuid(testing::kOtherUid, testing::kOtherUid, testing::kOtherUid) != 0 ||
                ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                ::listen(listener, 8) != 0 || ::chmod(path.c_str(), 0777) != 0 || ::write(ready[1], "r", 1) != 1)
                ::_exit(1);
            for (;;) {
                const int peer = ::accept(listener, nullptr, nullptr);
                if (peer < 0) continue;
                char request[64];
                if (::write(ready[1], "c", 1) != 1) ::_exit(2);
                if (::read(peer, request, sizeof request) >= 0) (void)::send(peer, "ok\n", 3, MSG_NOSIGNAL);
                ::close(peer);
            }
        }
        ::close(ready[1]);
        events_ = ready[0];
        char first = 0;
        listening_ = ::read(events_, &first, 1) == 1 && first == 'r';
    }
    ~Impostor() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (events_ >= 0) ::close(events_);
    }
    bool listening() const { return listening_; }
    // Whether anyone connected to it.
    bool wasAsked() {
        pollfd p{events_, POLLIN, 0};
        char c = 0;
        return ::poll(&p, 1, 1000) == 1 && ::read(events_, &c, 1) == 1 && c == 'c';
    }

private:
    pid_t pid_ = -1;
    int events_ = -1;
    bool listening_ = false;
};

// Should our socket's folder be one another user can write to after all, an
// answer from there is still no answer: the start does not take it for our
// meter and end, it stays undecided.
TEST_F(SingleInstanceTest, AnAnswerFromAnotherUserIsIgnored) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder())));
    std::filesystem::create_symlink(folder() + "/nirgends", folder() + "/velmora.lock"); // no lock decides
    const std::string socket = socketOf(folder());
    ASSERT_EQ(::chmod(runtime().c_str(), 0777), 0);
    Impostor impostor(socket);
    if (!impostor.listening()) GTEST_SKIP() << "cannot listen as another user here";
    ASSERT_EQ(::chmod(runtime().c_str(), 0700), 0);
    Probe start(folder(), runtime(), "300");
    EXPECT_EQ(start.nextLine().rfind("undecided: ", 0), 0u);
    EXPECT_TRUE(impostor.wasAsked()); // it did reach the impostor, and did not believe it
    ::setenv("XDG_RUNTIME_DIR", runtime().c_str(), 1);
    EXPECT_EQ(SingleInstance::ask(folder(), "stand", 1s), std::nullopt);
    EXPECT_TRUE(impostor.wasAsked());
}

TEST_F(SingleInstanceTest, AMeterDoesNotAnswerAnotherUser) {
    Probe meter(folder(), runtime());
    ASSERT_EQ(meter.nextLine(), "meter");
    const std::string socket = socketOf(folder());
    ASSERT_EQ(::chmod(runtime().c_str(), 0711), 0);
    ASSERT_EQ(::chmod(socket.c_str(), 0666), 0);
    const testing::ChildOutcome asked = testing::runAsOtherUser([&](std::string& report) {
        for (const char* request : {"forward\n", "stand\n"}) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            socket.copy(address.sun_path, sizeof address.sun_path - 1);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 1;
            // A meter that hangs up at once may do so before the request is out: no answer either.
            const auto length = static_cast<ssize_t>(std::strlen(request));
            if (::send(fd, request, length, MSG_NOSIGNAL) != length) {
                if (errno != EPIPE && errno != ECONNRESET) return 2;
            } else {
                pollfd p{fd, POLLIN, 0};
                char answer[16];
                const ssize_t got = ::poll(&p, 1, 2000) == 1 ? ::read(fd, answer, sizeof answer) : -1;
                report.append(answer, got > 0 ? static_cast<std::size_t>(got) : 0);
            }
            ::close(fd);
        }
        return 0;
    });
    if (asked.status == testing::kCannotRunHere) GTEST_SKIP() << asked.output;
    ASSERT_EQ(asked.status, 0) << "the other user could not reach the socket at all";
    EXPECT_EQ(asked.output, "");
    EXPECT_EQ(meter.nextLine(300ms), ""); // not brought forward, not asked
    Probe second(folder(), runtime());    // the user's own start still is answered
    EXPECT_EQ(second.nextLine(), "second");
    EXPECT_EQ(meter.nextLine(), "forward");
}

// A connected local socket to `path`, -1 when it cannot connect.
int connectTo(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

// Whether the meter hangs up on `fd` within a second (with what it sent
// still unread: a reset).
bool hungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    return ::poll(&p, 1, 1000) == 1 && ::read(fd, &c, 1) <= 0;
}

TEST_F(SingleInstanceTest, AQuestionGoesToTheMeterOnTheSocketOfTheSecondStart) {
    ::setenv("XDG_RUNTIME_DIR", runtime().c_str(), 1);
    EXPECT_EQ(SingleInstance::ask(folder(), "stand", 1s), std::nullopt); // no meter, and no folder made
    EXPECT_FALSE(std::filesystem::exists(folder()));

    Probe meter(folder(), runtime());
    ASSERT_EQ(meter.nextLine(), "meter");
    EXPECT_EQ(SingleInstance::ask(folder(), "stand", 2s), "antwort: stand");
    EXPECT_EQ(meter.nextLine(), "query: stand");
    EXPECT_EQ(SingleInstance::ask(folder(), "zwei\nZeilen", 2s), std::nullopt); // one line only
    Probe second(folder(), runtime());
    EXPECT_EQ(second.nextLine(), "second");
    EXPECT_EQ(meter.nextLine(), "forward");

    meter.kill(); // its socket stays: asking it fails at once
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(SingleInstance::ask(folder(), "stand", 3s), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
}

// A meter that hangs (here stopped by SIGSTOP) costs the asker its timeout and
// no more; once it runs again it answers, though its earlier asker is gone.
TEST_F(SingleInstanceTest, AStoppedMeterCostsTheAskerOnlyItsTimeout) {
    Probe meter(folder(), runtime());
    ASSERT_EQ(meter.nextLine(), "meter");
    ::setenv("XDG_RUNTIME_DIR", runtime().c_str(), 1);
    meter.signal(SIGSTOP);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(SingleInstance::ask(folder(), "stand", 300ms), std::nullopt);
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_GE(took, 290ms);
    EXPECT_LT(took, 800ms);
    meter.signal(SIGCONT);
    EXPECT_EQ(SingleInstance::ask(folder(), "wieder", 2s), "antwort: wieder");
    EXPECT_EQ(meter.nextLine(), "query: stand");
    EXPECT_EQ(meter.nextLine(), "query: wieder");
}

// Askers of the user's that say nothing, half a line or far too much hold up
// no one: the meter answers others meanwhile and hangs up on the garbage.
TEST_F(SingleInstanceTest, AnAskerThatSaysNothingHoldsUpNoOne) {
    Probe meter(folder(), runtime());
    ASSERT_EQ(meter.nextLine(), "meter");
    const std::string socket = socketOf(folder());
    const int silent = connectTo(socket);
    const int halfLine = connectTo(socket);
    const int flood = connectTo(socket);
    ASSERT_GE(silent, 0);
    ASSERT_GE(halfLine, 0);
    ASSERT_GE(flood, 0);
    ASSERT_EQ(::send(halfLine, "sta", 3, MSG_NOSIGNAL), 3);
    const std::string tooLong(4000, 'x');
    EXPECT_GT(::send(flood, tooLong.data(), tooLong.size(), MSG_NOSIGNAL), 1024);
    EXPECT_EQ(SingleInstance::ask(folder(), "stand", 1s), "antwort: stand");
    EXPECT_TRUE(hungUp(flood));
    EXPECT_EQ(meter.nextLine(), "query: stand");
    EXPECT_EQ(meter.nextLine(300ms), ""); // neither the half line nor the flood was taken for a request
    for (int fd : {silent, halfLine, flood}) ::close(fd);
}

// Where the socket should go lies a file of the user's: it stays, and the
// meter meters all the same, saying why no second start can reach it.
TEST_F(SingleInstanceTest, AFileWhereTheSocketGoesIsLeftAlone) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder())));
    const std::string taken = folder() + "/velmora.socket";
    std::ofstream(taken) << "meins";
    Probe meter(folder(), ""); // no runtime folder: the socket goes into the data folder
    ASSERT_EQ(meter.nextLine(), "meter");
    EXPECT_EQ(meter.nextLine().rfind("unreachable: " + taken + ": ", 0), 0u);
    std::ifstream kept(taken);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "meins");
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
