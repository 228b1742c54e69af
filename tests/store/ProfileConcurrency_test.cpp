// Several writers on one profile, and writers that die mid-write.

#include "store/SettingsProfile.h"

#include <csignal>
#include <random>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "store/StoreTestSupport.h"

namespace velmora {
namespace {

class ProfileConcurrencyTest : public test::TempDirTest {
protected:
    std::string file_ = pathOf("shared.INI");
};

// Built by appending: g++ 12 at -O2 warns falsely about "literal" + std::string.
std::string numbered(std::string_view prefix, int n) {
    std::string name(prefix);
    name += std::to_string(n);
    return name;
}

std::string keyName(int writer, int index) { return numbered("w", writer) + numbered("k", index); }

// Each writer puts its keys into a shared section and into a section of its own.
bool writeKeysOf(const std::string& file, int writer, int keys) {
    SettingsProfile profile(file);
    bool allWritten = true;
    for (int i = 0; i < keys; ++i) {
        allWritten &= profile.writeString("Shared", keyName(writer, i), std::to_string(i)).ok;
        allWritten &= profile.writeString(numbered("Own", writer), numbered("k", i), std::to_string(writer)).ok;
    }
    return allWritten;
}

void expectAllKeys(const std::string& file, int writers, int keys) {
    SettingsProfile profile(file);
    for (int w = 0; w < writers; ++w) {
        for (int i = 0; i < keys; ++i) {
            EXPECT_EQ(profile.readInt("Shared", keyName(w, i), -1), i) << keyName(w, i);
            EXPECT_EQ(profile.readInt(numbered("Own", w), numbered("k", i), -1), w);
        }
    }
}

TEST_F(ProfileConcurrencyTest, ThreadsWritingDifferentKeysLoseNone) {
    constexpr int kWriters = 6;
    constexpr int kKeys = 20;
    std::vector<std::thread> threads;
    std::vector<char> succeeded(kWriters, 0);
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] { succeeded[w] = writeKeysOf(file_, w, kKeys); });
    }
    for (std::thread& t : threads) t.join();
    for (int w = 0; w < kWriters; ++w) EXPECT_TRUE(succeeded[w]) << w;
    expectAllKeys(file_, kWriters, kKeys);
}

TEST_F(ProfileConcurrencyTest, ProcessesWritingDifferentKeysLoseNone) {
    constexpr int kWriters = 3;
    constexpr int kKeys = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        ASSERT_NE(pid, -1);
        if (pid == 0) _exit(writeKeysOf(file_, w, kKeys) ? 0 : 1);
        children.push_back(pid);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expectAllKeys(file_, kWriters, kKeys);
}

// Runs a child that rewrites the file back and forth between two payloads
// until it is killed. The child reports its first completed write, so that the
// kill lands in the middle of its loop at a random phase however slowly the
// child starts up.
pid_t startFlippingWriter(const std::string& file, const std::string& payloadA, const std::string& payloadB) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        SettingsProfile profile(file);
        const char wrote = profile.writeString("Data", "payload", payloadB) ? '1' : '0';
        if (write(ready[1], &wrote, 1) != 1) _exit(1);
        for (;;) {
            profile.writeString("Data", "payload", payloadA);
            profile.writeString("Data", "payload", payloadB);
        }
    }
    close(ready[1]);
    char wrote = '0';
    const bool started = pid > 0 && read(ready[0], &wrote, 1) == 1 && wrote == '1';
    close(ready[0]);
    if (!started && pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return started ? pid : -1;
}

// Whatever the moment a writer dies, the file holds the old or the new content whole.
TEST_F(ProfileConcurrencyTest, AKilledWriterLeavesTheOldOrTheNewFileWhole) {
    const std::string payloadA(64 * 1024, 'A');
    const std::string payloadB(64 * 1024, 'B');
    const std::string contentA = "; header\n[Data]\npayload=" + payloadA + "\ntail=1\n";
    const std::string contentB = "; header\n[Data]\npayload=" + payloadB + "\ntail=1\n";
    test::writeFileBytes(file_, contentA);

    std::mt19937 random(20260305);
    std::uniform_int_distribution<int> delayUs(0, 4000);
    int changes = 0;
    std::string previous = contentA;
    for (int round = 0; round < 200; ++round) {
        // A writer that cannot start would mean a killed writer's lock blocks the next.
        pid_t pid = startFlippingWriter(file_, payloadA, payloadB);
        ASSERT_GT(pid, 0) << "round " << round;
        usleep(static_cast<useconds_t>(delayUs(random)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);

        const std::string now = test::readFileBytes(file_);
        ASSERT_TRUE(now == contentA || now == contentB) << "round " << round << ", " << now.size() << " bytes";
        changes += now != previous;
        previous = now;
    }
    EXPECT_GT(changes, 20); // the kills did land at different phases
}

} // namespace
} // namespace velmora
