// The parsed profile kept between reads: it answers exactly as a scan of the
// file would, it is parsed once per change of the file, and a change is never
// missed, not even one of the same size within the same clock tick.

#include "store/ProfileCache.h"

#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/SettingsProfile.h"
#include "store/StoreTestSupport.h"
#include "store/UserTariff.h"

namespace velmora {
namespace {

using namespace std::string_literals;

// Every name the texts below use, in several spellings.
const std::vector<std::string> kNames{"",  " ", "a",   "A",  " a ", "b", "ab", "S",        "s",
                                      "k", "K", "x y", "[a", "a]",  "=", ";c", "Standard", "Kosten"};

void expectIndexAnswersAsTheScan(const std::string& text) {
    const ini::Index index(text);
    for (const std::string& section : kNames) {
        for (const std::string& key : kNames) {
            ASSERT_EQ(index.findValue(section, key), ini::findValue(text, section, key))
                << "[" << section << "] " << key << " in\n"
                << text;
        }
    }
}

TEST(IniIndex, AnswersExactlyAsTheLineScan) {
    for (const std::string& text :
         {"[S]\nk=1\nK=2\n[s]\nk=3\nb=4\n"s, "\xEF\xBB\xBF[a]\r\nk = v \r\n[ A ]\r\nk=w\r\n"s,
          "stray=1\n[a]\n=empty key\n;c=comment\n[unclosed\nk=u\n[]\nk=e\n[ ]\nk=f\n"s, "[a]k=1\n[a\n k \t=\t'q' \n"s,
          "[x y]\r[a]\rk=1\r\r[b]\rab=\"2\"\r"s, "[S]\nk=1\0 2\n\0\0\n[T]\nk=3\n"s, ""s, "[a]"s, "k=1"s}) {
        expectIndexAnswersAsTheScan(text);
    }
    // Random texts of the characters that carry meaning.
    std::mt19937 random(20261208);
    const std::string alphabet = "[]=; \t\r\nabAkKSsxy";
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 80, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        expectIndexAnswersAsTheScan(text);
    }
}

class ProfileCacheTest : public test::TempDirTest {
protected:
    // A clock far ahead of every file time: each state read is old enough to trust.
    static timespec farFuture() { return {4'000'000'000, 0}; }

    static timespec changeTimeOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_ctim;
    }
    static timespec modificationTimeOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mtim;
    }
    static std::string valueOf(ProfileCache& cache) {
        return std::string(cache.current()->findValue("S", "k").value_or("missing"));
    }

    std::string file_ = pathOf("velmora.INI");
};

// Another process rewrites the file in place with as many bytes and puts its
// modification time back: size, inode and modification time are as before.
void rewriteInPlaceElsewhere(const std::string& path, const std::string& bytes, timespec modified) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
        const bool written = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        const timespec times[2] = {{0, UTIME_OMIT}, modified};
        ::_exit(written && ::futimens(fd, times) == 0 && ::close(fd) == 0 ? 0 : 1);
    }
    int status = 1;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(ProfileCacheTest, AnUnchangedFileIsParsedOnce) {
    test::writeFileBytes(file_, "[S]\nk=1\n");
    ProfileCache cache(file_, farFuture);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(valueOf(cache), "1");
    EXPECT_EQ(cache.parses(), 1u);
}

TEST_F(ProfileCacheTest, ASameSizeChangeWithTheOldModificationTimeIsSeenByItsChangeTime) {
    test::writeFileBytes(file_, "[S]\nk=1\n");
    const timespec modified = modificationTimeOf(file_);
    ProfileCache cache(file_, farFuture);
    ASSERT_EQ(valueOf(cache), "1");
    // Past the coarse tick of the first write, so that the change time must move.
    const timespec firstChange = changeTimeOf(file_);
    timespec now{};
    do ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    while (now.tv_sec == firstChange.tv_sec && now.tv_nsec <= firstChange.tv_nsec);

    rewriteInPlaceElsewhere(file_, "[S]\nk=2\n", modified);
    ASSERT_EQ(modificationTimeOf(file_).tv_nsec, modified.tv_nsec);
    EXPECT_EQ(valueOf(cache), "2");
    EXPECT_EQ(cache.parses(), 2u);
}

// Right after a write, a second write may carry the very same stamps: such a
// state is checked against the bytes, which costs a read but not a parse.
TEST_F(ProfileCacheTest, AStateTooRecentToTrustIsCheckedAgainstTheBytes) {
    test::writeFileBytes(file_, "[S]\nk=1\n");
    timespec justNow{};
    ::clock_gettime(CLOCK_REALTIME, &justNow);
    ProfileCache cache(file_, [justNow] { return justNow; });
    ASSERT_EQ(valueOf(cache), "1");
    ASSERT_EQ(valueOf(cache), "1");
    EXPECT_EQ(cache.parses(), 1u);

    rewriteInPlaceElsewhere(file_, "[S]\nk=2\n", modificationTimeOf(file_));
    EXPECT_EQ(valueOf(cache), "2");
}

TEST_F(ProfileCacheTest, ReplacedCreatedAndDeletedFilesAreSeenAtTheNextRead) {
    ProfileCache cache(file_, farFuture);
    EXPECT_EQ(valueOf(cache), "missing");
    test::writeFileBytes(pathOf("new"), "[S]\nk=1\n");
    ASSERT_EQ(::rename(pathOf("new").c_str(), file_.c_str()), 0);
    EXPECT_EQ(valueOf(cache), "1");
    test::writeFileBytes(pathOf("new"), "[S]\nk=2\n");
    ASSERT_EQ(::rename(pathOf("new").c_str(), file_.c_str()), 0);
    EXPECT_EQ(valueOf(cache), "2");
    ASSERT_EQ(::unlink(file_.c_str()), 0);
    EXPECT_EQ(valueOf(cache), "missing");
}

// A hand-edited profile of many megabytes once stalled every poll tick, each
// of which parsed it several times over.
TEST_F(ProfileCacheTest, AHugeProfileIsParsedOncePerChangeNotOncePerTick) {
    std::string bytes = "[Standard]\nTarifzone=4\n[Cost-Editor]\nAnzahlWochentag=24\nGebuehr=0.12\n";
    for (int h = 0; h < 24; ++h)
        bytes += "[W-" + std::to_string(h) + "]\nAnfang=" + std::to_string(h) + "\nEnde=" + std::to_string(h + 1) +
                 "\nTakt=90\n";
    for (int i = 0; bytes.size() < 8u * 1024 * 1024; ++i)
        bytes += "[Notiz-" + std::to_string(i) + "]\nText=eine lange Zeile, von Hand eingefuegt\n";
    test::writeFileBytes(file_, bytes);
    SettingsProfile profile(file_);

    for (int tick = 0; tick < 50; ++tick) {
        const SettingsProfile stored = profile.snapshot(); // what one tariff evaluation reads
        ASSERT_EQ(loadBandList(stored, BandList::Weekday).size(), 24u);
        ASSERT_EQ(readUnitFee(profile), "0.12");
    }
    EXPECT_EQ(profile.parsesOfFile(), 1u);

    ASSERT_TRUE(profile.writeString("Cost-Editor", "Gebuehr", "0.23"));
    for (int tick = 0; tick < 50; ++tick) ASSERT_EQ(readUnitFee(profile.snapshot()), "0.23");
    EXPECT_EQ(profile.parsesOfFile(), 2u);
}

} // namespace
} // namespace velmora
