// Damaged, binary and oversized profiles: read what can be read, never crash,
// and never lose the bytes a rewrite does not understand.

#include "store/SettingsProfile.h"

#include <chrono>
#include <random>

#include "store/StoreTestSupport.h"

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

} // namespace
} // namespace velmora
