#include "store/SettingsProfile.h"

#include <cstdlib>

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "store/DataPaths.h"
#include "store/StoreTestSupport.h"

namespace velmora {
namespace {

using namespace std::string_literals;

class SettingsProfileTest : public test::TempDirTest {
protected:
    SettingsProfile profileWith(const std::string& bytes) {
        test::writeFileBytes(file_, bytes);
        return SettingsProfile(file_);
    }
    std::string fileBytes() const { return test::readFileBytes(file_); }

    std::string file_ = pathOf("velmora.INI");
};

TEST_F(SettingsProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    SettingsProfile missing(file_);
    EXPECT_EQ(missing.readInt("Standard", "Tarifzone", 7), 7);
    EXPECT_EQ(missing.readString("Standard", "Kosten", "0"), "0");

    SettingsProfile profile = profileWith("[Standard]\nKosten=1.00\nLeer=\n");
    EXPECT_EQ(profile.readString("Andere", "Kosten", "d"), "d");
    EXPECT_EQ(profile.readString("Standard", "Warnung", "d"), "d");
    EXPECT_EQ(profile.readString("Standard", "Leer", "d"), "");
    EXPECT_EQ(profile.readInt("Standard", "Leer", 5), 5);
}

TEST_F(SettingsProfileTest, ReadIntTakesTheLeadingDigitsSaturated) {
    SettingsProfile profile =
        profileWith("[S]\na=42abc\nb=  -17\nc=+8\nd=abc\ne=99999999999\nf=-99999999999\ng=\"12\"\nh=- 3\n"
                    "i=-2147483648\n");
    EXPECT_EQ(profile.readInt("S", "a", 0), 42);
    EXPECT_EQ(profile.readInt("S", "b", 0), -17);
    EXPECT_EQ(profile.readInt("S", "c", 0), 8);
    EXPECT_EQ(profile.readInt("S", "d", 5), 0);
    EXPECT_EQ(profile.readInt("S", "e", 0), INT_MAX);
    EXPECT_EQ(profile.readInt("S", "f", 0), INT_MIN);
    EXPECT_EQ(profile.readInt("S", "g", 0), 12);
    EXPECT_EQ(profile.readInt("S", "h", 5), 0);
    EXPECT_EQ(profile.readInt("S", "i", 0), INT_MIN);
}

TEST_F(SettingsProfileTest, NamesFoldCaseAndBlanksAndOuterQuotesAreDropped) {
    SettingsProfile profile =
        profileWith("[ Standard ]\n  KOSTEN =  12.50  \n\tTarifZone\t=\t4\nq1=\"quoted\"\nq2='single'\n"
                    "q3=\"mixed'\nq4=\"\"inner\"\"\n");
    EXPECT_EQ(profile.readString("standard", "Kosten", ""), "12.50");
    EXPECT_EQ(profile.readInt("STANDARD", "tarifzone", 0), 4);
    EXPECT_EQ(profile.readString("Standard", "q1", ""), "quoted");
    EXPECT_EQ(profile.readString("Standard", "q2", ""), "single");
    EXPECT_EQ(profile.readString("Standard", "q3", ""), "\"mixed'");
    EXPECT_EQ(profile.readString("Standard", "q4", ""), "\"inner\"");
}

TEST_F(SettingsProfileTest, FirstOfDuplicateSectionsAndKeysWinsForReadAndWrite) {
    SettingsProfile profile = profileWith("[A]\nk=1\nk=2\n[B]\nx=0\n[a]\nk=3\nonlyLater=9\n");
    EXPECT_EQ(profile.readInt("A", "k", 0), 1);
    EXPECT_EQ(profile.readInt("A", "onlyLater", -1), -1);

    ASSERT_TRUE(profile.writeString("A", "k", "5"));
    ASSERT_TRUE(profile.writeString("A", "onlyLater", "6"));
    EXPECT_EQ(fileBytes(), "[A]\nk=5\nk=2\nonlyLater=6\n[B]\nx=0\n[a]\nk=3\nonlyLater=9\n");
}

TEST_F(SettingsProfileTest, WriteTouchesOnlyItsOwnLine) {
    const std::string before = "; kept comment\n[Standard]\n  Kosten = 1.00 ; not a comment\nTarifzone=2\n\n"
                               "; about the next section\n[Cost-Editor]\nMontag=0\n";
    SettingsProfile profile = profileWith(before);

    ASSERT_TRUE(profile.writeString("standard", "kosten", "3.60"));
    EXPECT_EQ(fileBytes(), "; kept comment\n[Standard]\nkosten=3.60\nTarifzone=2\n\n"
                           "; about the next section\n[Cost-Editor]\nMontag=0\n");

    profile.writeInt("Standard", "Warnung", -1);
    EXPECT_EQ(fileBytes(), "; kept comment\n[Standard]\nkosten=3.60\nTarifzone=2\nWarnung=-1\n\n"
                           "; about the next section\n[Cost-Editor]\nMontag=0\n");
}

TEST_F(SettingsProfileTest, NewSectionGoesToTheEndAndANewFileKeepsWriteOrder) {
    SettingsProfile profile(pathOf("sub/dir/new.INI")); // the directory is made on demand
    ASSERT_TRUE(profile.writeString("Standard", "Kosten", "125.40"));
    profile.writeInt("Standard", "Tarifzone", 4);
    profile.writeInt("Standard", "Warnung", 2);
    ASSERT_TRUE(profile.writeString("Cost-Editor", "Montag", "1"));
    EXPECT_EQ(test::readFileBytes(profile.path()),
              "[Standard]\nKosten=125.40\nTarifzone=4\nWarnung=2\n[Cost-Editor]\nMontag=1\n");
}

TEST_F(SettingsProfileTest, EveryLineEndingStyleReadsAndIsKeptOnRewrite) {
    for (const std::string eol : {"\r\n", "\r", "\n"}) {
        SCOPED_TRACE(eol.size() == 2 ? "CRLF" : eol == "\r" ? "CR" : "LF");
        SettingsProfile profile = profileWith("[A]" + eol + "k=1" + eol + "[B]" + eol + "m=2");
        EXPECT_EQ(profile.readInt("A", "k", 0), 1);
        EXPECT_EQ(profile.readInt("B", "m", 0), 2);
        ASSERT_TRUE(profile.writeString("A", "n", "3"));
        ASSERT_TRUE(profile.writeString("B", "o", "4"));
        ASSERT_TRUE(profile.writeString("C", "p", "5"));
        EXPECT_EQ(fileBytes(), "[A]" + eol + "k=1" + eol + "n=3" + eol + "[B]" + eol + "m=2" + eol + "o=4" + eol +
                                   "[C]" + eol + "p=5" + eol);
    }
}

TEST_F(SettingsProfileTest, SectionWithoutKeysOrWithoutLineBreakGetsItsKeyAfterTheHeader) {
    SettingsProfile profile = profileWith("[A]");
    ASSERT_TRUE(profile.writeString("A", "k", "1"));
    EXPECT_EQ(fileBytes(), "[A]\nk=1\n");

    profileWith("[A]\n\n[B]\n");
    ASSERT_TRUE(profile.writeString("A", "k", "1"));
    EXPECT_EQ(fileBytes(), "[A]\nk=1\n\n[B]\n");
}

TEST_F(SettingsProfileTest, ReadStringIsCutTo4095BytesOnACharacterBoundary) {
    const std::string ascii(5000, 'a');
    // "ü" is two bytes: 2047 of them fill 4094 bytes, the next one would straddle 4095.
    std::string umlauts;
    for (int i = 0; i < 2100; ++i) umlauts += "\xC3\xBC";
    SettingsProfile profile = profileWith("[S]\na=" + ascii + "\nu=" + umlauts + "\n");
    EXPECT_EQ(profile.readString("S", "a", ""), ascii.substr(0, 4095));
    EXPECT_EQ(profile.readString("S", "u", ""), umlauts.substr(0, 4094));
}

TEST_F(SettingsProfileTest, ValuesReadBackTrimmedAndWithoutOnePairOfOuterQuotes) {
    SettingsProfile profile(file_);
    const std::vector<std::pair<std::string, std::string>> cases{{"", ""},
                                                                 {" lead", "lead"},
                                                                 {"trail  ", "trail"},
                                                                 {"\"quoted\"", "quoted"},
                                                                 {"'single'", "single"},
                                                                 {"x=y;z[]", "x=y;z[]"},
                                                                 {"Gebühr €", "Gebühr €"},
                                                                 {"\"", "\""},
                                                                 {"'a\"", "'a\""},
                                                                 {" 90", "90"}};
    for (const auto& [written, read] : cases) {
        SCOPED_TRACE(written);
        ASSERT_TRUE(profile.writeString("S", "k", written));
        EXPECT_EQ(profile.readString("S", "k", "default"), read);
    }
}

TEST_F(SettingsProfileTest, NamesAreTrimmedForReadingAsForWriting) {
    SettingsProfile profile(file_);
    ASSERT_TRUE(profile.writeString(" Sec ", " key ", "v"));
    EXPECT_EQ(profile.readString(" Sec ", " key ", "default"), "v");
    EXPECT_EQ(profile.readString("sec ", "KEY", "default"), "v");
}

TEST_F(SettingsProfileTest, ControlCharactersCannotChangeTheFileStructure) {
    SettingsProfile profile = profileWith("[S]\nk=1\n");
    ASSERT_TRUE(profile.writeString("S", "v", "a\n[Evil]\nk=2\r\0x"s));
    EXPECT_EQ(profile.readString("S", "v", ""), "a [Evil] k=2  x");
    EXPECT_EQ(profile.readInt("Evil", "k", -1), -1);

    const std::string before = fileBytes();
    for (const std::string section : {"", "  ", "a]b", "line\nbreak", "tab\tinside"}) {
        SCOPED_TRACE(section);
        EXPECT_FALSE(profile.writeString(section, "k", "1"));
    }
    for (const std::string& key :
         std::initializer_list<std::string>{"", " ", "a=b", "x\ny", ";comment", "[S2]", "nul\0"s}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(profile.writeString("S", key, "1"));
    }
    EXPECT_FALSE(profile.writeStrings("S", {{"fine", "1"}, {"bad=", "2"}}));
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(SettingsProfileTest, WriteStringsActsLikeWritesInOrder) {
    SettingsProfile profile = profileWith("[S]\nb=old\n");
    ASSERT_TRUE(profile.writeStrings("S", {{"a", "1"}, {"B", "2"}, {"c", "3"}, {"A", "4"}}));
    EXPECT_EQ(fileBytes(), "[S]\nB=2\na=4\nc=3\n");
    ASSERT_TRUE(profile.writeStrings("T", {{"x", "1"}, {"y", "2"}}));
    EXPECT_EQ(fileBytes(), "[S]\nB=2\na=4\nc=3\n[T]\nx=1\ny=2\n");
}

TEST_F(SettingsProfileTest, AnUnreadableFileIsNeitherReadNorReplaced) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(file_))); // a directory where the file should be
    SettingsProfile profile(file_);
    EXPECT_EQ(profile.readInt("S", "k", 3), 3);
    EXPECT_FALSE(profile.writeString("S", "k", "1"));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(file_)).isDir());
}

TEST_F(SettingsProfileTest, WriteFailsRatherThanIgnoreAnotherWritersLock) {
    SettingsProfile profile = profileWith("[S]\nk=1\n");
    const int otherWriter = ::open((file_ + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(otherWriter, LOCK_EX), 0);
    EXPECT_FALSE(profile.writeString("S", "k", "2"));
    EXPECT_EQ(profile.readInt("S", "k", 0), 1);
    ::close(otherWriter);
    EXPECT_TRUE(profile.writeString("S", "k", "2"));
}

class EnvironmentGuard {
public:
    explicit EnvironmentGuard(const char* name) : name_(name) {
        const char* value = std::getenv(name);
        if (value) saved_ = value;
        wasSet_ = value != nullptr;
    }
    ~EnvironmentGuard() {
        if (wasSet_)
            setenv(name_, saved_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string saved_;
    bool wasSet_ = false;
};

TEST(DataPaths, DataDirectoryFollowsXdgDataHomeOnlyWhenAbsolute) {
    EnvironmentGuard xdg("XDG_DATA_HOME");
    EnvironmentGuard home("HOME");
    setenv("HOME", "/home/anna", 1);
    setenv("XDG_DATA_HOME", "/data/anna", 1);
    EXPECT_EQ(dataDirectory(), "/data/anna/velmora");
    setenv("XDG_DATA_HOME", "relative/dir", 1);
    EXPECT_EQ(dataDirectory(), "/home/anna/.local/share/velmora");
    setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(dataDirectory(), "/home/anna/.local/share/velmora");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(dataDirectory(), "/home/anna/.local/share/velmora");
}

TEST(DataPaths, ProfileIsNamedAfterTheExecutable) {
    EXPECT_EQ(profileFileName("/usr/bin/velmora"), "velmora.INI");
    EXPECT_EQ(profileFileName("zelvar.exe"), "zelvar.INI");
    EXPECT_EQ(profileFileName("C:\\Programme\\zelvar.exe"), "zelvar.INI");
    EXPECT_EQ(profileFileName("./my.tool.bin"), "my.tool.INI");
    EXPECT_EQ(profileFileName("/opt/.hidden"), ".hidden.INI");
    EXPECT_EQ(profileFileName("/usr/bin/"), "velmora.INI");
}

} // namespace
} // namespace velmora
