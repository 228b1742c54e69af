// Damaged, binary and oversized profiles: read what can be read, never crash,
// and never lose the bytes a rewrite does not understand.

#include "store/SettingsProfile.h"

#include <chrono>
#include <random>

#include <sys/stat.h>

#include "store/StoreTestSupport.h"
#include "store/UserTariff.h"
#include "support/OtherUser.h"

namespace velmora {
namespace {

using namespace std::string_literals;

class ProfileDamageTest : public test::TempDirTest {
protected:
    SettingsProfile profileWith(const std::string& bytes) {
        test::writeFileBytes(file_, bytes);
        return SettingsProfile(file_);
    }
    std::string fileBytes() const { return test::readFileBytes(file_); }

    std::string file_ = pathOf("damaged.INI");
};

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

TEST_F(ProfileDamageTest, BinaryGarbageIsKeptByteForByteAroundAWrite) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        const std::string garbage = randomBytes(4096, seed);
        SettingsProfile profile = profileWith(garbage + "\n[Standard]\nKosten=1.00\n");
        EXPECT_EQ(profile.readString("Standard", "Kosten", ""), "1.00");
        ASSERT_TRUE(profile.writeString("Standard", "Kosten", "2.00"));
        ASSERT_TRUE(profile.writeString("Neu", "k", "v"));
        const std::string bytes = fileBytes();
        EXPECT_EQ(bytes.substr(0, garbage.size()), garbage);
        EXPECT_EQ(profile.readString("Standard", "Kosten", ""), "2.00");
        EXPECT_EQ(profile.readString("Neu", "k", ""), "v");
    }
}

TEST_F(ProfileDamageTest, NulBytesEndAValueButNotTheFile) {
    SettingsProfile profile = profileWith("[S]\nk=12\0 34\n\0\0\0\n[T]\nm=5\n"s);
    EXPECT_EQ(profile.readString("S", "k", ""), "12");
    EXPECT_EQ(profile.readInt("S", "k", 0), 12);
    EXPECT_EQ(profile.readInt("T", "m", 0), 5);
    ASSERT_TRUE(profile.writeString("T", "m", "6"));
    EXPECT_EQ(fileBytes(), "[S]\nk=12\0 34\n\0\0\0\n[T]\nm=6\n"s);
}

TEST_F(ProfileDamageTest, UnparsableLinesSurviveAndDoNotConfuseTheReader) {
    SettingsProfile profile =
        profileWith("stray=before any section\n[S]\norphan line\n=no key\n[unclosed\nk=in unclosed\n[S]\nk=dup\n");
    EXPECT_EQ(profile.readString("S", "k", "none"), "none");
    EXPECT_EQ(profile.readString("unclosed", "k", ""), "in unclosed");
    EXPECT_EQ(profile.readString("", "stray", "none"), "none");
    ASSERT_TRUE(profile.writeString("S", "k", "1"));
    EXPECT_EQ(fileBytes(), "stray=before any section\n[S]\norphan line\n=no key\nk=1\n"
                           "[unclosed\nk=in unclosed\n[S]\nk=dup\n");

    // A byte-order mark at the very start does not hide the first section.
    profileWith("\xEF\xBB\xBF[Standard]\nKosten=4.00\n");
    EXPECT_EQ(profile.readString("Standard", "Kosten", ""), "4.00");
}

TEST_F(ProfileDamageTest, LongLinesAndA20MegabyteFileStayUsable) {
    const std::string longLine(100 * 1024, 'L');
    std::string big = "[Big]\n" + longLine + "\nlong=" + longLine + "\n";
    while (big.size() < 20u * 1024 * 1024) big += "; filler line of the big section =========\n";
    SettingsProfile profile = profileWith(big + "[S]\nk=1");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(profile.readString("Big", "long", "").size(), 4095u);
    EXPECT_EQ(profile.readInt("S", "k", 0), 1);
    ASSERT_TRUE(profile.writeString("S", "k", "2"));
    ASSERT_TRUE(profile.writeString("Big", "new", "3"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    const std::string bytes = fileBytes();
    EXPECT_EQ(bytes.size(), big.size() + std::string("[S]\nk=2new=3\n").size());
    EXPECT_EQ(profile.readInt("S", "k", 0), 2);
    EXPECT_EQ(profile.readInt("Big", "new", 0), 3);
}

TEST_F(ProfileDamageTest, ValueWithoutAnyLineBreakInTheFile) {
    SettingsProfile profile = profileWith("[S]k=1");
    EXPECT_EQ(profile.readInt("S", "k", 9), 9); // "[S]k=1" is a section line, nothing more
    ASSERT_TRUE(profile.writeString("S", "k", "2"));
    EXPECT_EQ(fileBytes(), "[S]k=1\nk=2\n");
}

// A profile that is there but cannot be read (root's file, read by another
// user) is not a missing one: its keys read as missing, readError() says why,
// and no writer replaces it from what it did not read; the own tariff's
// sections least of all. The words name the read, not a write.
TEST_F(ProfileDamageTest, AProfileThatCannotBeReadIsNeverTakenForAMissingOneNorRewritten) {
    const std::string stored = "[Standard]\nKosten=125.40\nTarifzone=4\nWarnung=2\n[Cost-Editor]\nAnzahlWochentag=1\n"
                               "Gebuehr=0.23\n[W-0]\nAnfang=0\nEnde=24\nTakt=60\n";
    ASSERT_TRUE(testing::giveTo(dir_.path().toStdString(), testing::kOtherUid));
    test::writeFileBytes(file_, stored); // root's, 0600
    ASSERT_EQ(::chmod(file_.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(pathOf("folder.INI").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(pathOf("folder.INI").c_str(), 0755), 0);
    const testing::ChildOutcome run = testing::runAsOtherUser([&](std::string& report) {
        SettingsProfile profile(file_);
        if (SettingsProfile(pathOf("missing.INI")).readError() != 0) return 1;
        if (SettingsProfile(pathOf("folder.INI")).readError() != 0) return 2; // holds no settings either
        if (profile.readError() != EACCES || profile.snapshot().readError() != EACCES) return 3;
        if (profile.readString("Standard", "Kosten", "0") != "0") return 4;
        const WriteResult total = profile.writeString("Standard", "Kosten", "0.12");
        const WriteResult tariff = saveUserTariff(profile, UserTariff{});
        report = total.reason + "|" + tariff.reason;
        return total.ok || tariff.ok ? 5 : 0;
    });
    if (run.status == testing::kCannotRunHere) GTEST_SKIP() << run.output;
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "die Datei kann nicht gelesen werden: keine Leseberechtigung|"
                          "die Datei kann nicht gelesen werden: keine Leseberechtigung");
    EXPECT_EQ(fileBytes(), stored);
    EXPECT_EQ(SettingsProfile(file_).readError(), 0); // root reads it
}

} // namespace
} // namespace velmora
