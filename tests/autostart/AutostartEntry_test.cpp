// The autostart entry: where it goes, that the desktop accepts it, and that
// its Exec line names the program whatever its path holds.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>

#include "autostart/AutostartEntry.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_.empty() ? unsetenv(name_) : setenv(name_, old_.c_str(), 1); }

private:
    const char* name_;
    std::string old_;
};

TEST(AutostartEntry, LivesInTheUsersAutostartFolder) {
    ScopedEnv home("HOME", "/home/anna");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/srv/konfig");
        EXPECT_EQ(AutostartEntry::defaultPath(), "/srv/konfig/autostart/velmora.desktop");
    }
    {
        ScopedEnv relative("XDG_CONFIG_HOME", "konfig");
        EXPECT_EQ(AutostartEntry::defaultPath(), "/home/anna/.config/autostart/velmora.desktop");
    }
    ScopedEnv unset("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(AutostartEntry::defaultPath(), "/home/anna/.config/autostart/velmora.desktop");
}

TEST(AutostartEntry, ExecArgumentsAreQuotedAndEscapedAsDesktopEntriesRequire) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/velmora", "/usr/bin/velmora"},
        {"/opt/100%/velmora", "/opt/100%%/velmora"},
        {"/home/a b/velmora", "\"/home/a b/velmora\""},
        // In quotes " ` $ \ take a backslash; then every backslash is doubled.
        {"/x/\"$`\\/v", "\"/x/\\\\\"\\\\$\\\\`\\\\\\\\/v\""},
        {"/x/zeile\numbruch", ""},
        {"", ""},
    };
    for (const auto& [path, argument] : cases) EXPECT_EQ(desktopExecArgument(path), argument) << path;
}

TEST(AutostartEntry, WrittenEntriesPassDesktopFileValidate) {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    QTemporaryDir dir;
    for (const char* program :
         {"/usr/bin/velmora", "/home/anna/mein Programm/velmora", "/opt/$100%\"'`\\(x)/velmora"}) {
        SCOPED_TRACE(program);
        const AutostartEntry entry(dir.filePath("autostart/velmora.desktop").toStdString(), program);
        ASSERT_TRUE(entry.enable());
        QProcess validate;
        validate.start(validator, {QString::fromStdString(entry.path())});
        ASSERT_TRUE(validate.waitForFinished(20000));
        EXPECT_EQ(validate.exitCode(), 0)
            << validate.readAllStandardOutput().toStdString() << validate.readAllStandardError().toStdString();
        EXPECT_EQ(validate.readAllStandardOutput(), "") << "no warnings either";
    }
}

TEST(AutostartEntry, EnableReplacesDisableRemovesAndFailuresSayWhy) {
    QTemporaryDir dir;
    const AutostartEntry entry(dir.filePath("cfg/autostart/velmora.desktop").toStdString(), "/usr/bin/velmora");
    EXPECT_FALSE(entry.exists());
    EXPECT_TRUE(entry.disable()) << "nothing to remove is no failure";
    writeFileBytes(dir.filePath("cfg").toStdString() + "/alt", "");
    ASSERT_TRUE(entry.enable());
    EXPECT_TRUE(entry.exists());
    EXPECT_NE(readFileBytes(entry.path()).find("\nExec=/usr/bin/velmora\n"), std::string::npos);

    const AutostartEntry moved(entry.path(), "/opt/velmora/velmora");
    ASSERT_TRUE(moved.enable());
    EXPECT_EQ(readFileBytes(entry.path()), moved.text());
    ASSERT_TRUE(moved.disable());
    EXPECT_FALSE(moved.exists());

    writeFileBytes(dir.filePath("datei").toStdString(), "kein Ordner");
    const AutostartEntry blocked(dir.filePath("datei/autostart/velmora.desktop").toStdString(), "/usr/bin/velmora");
    const WriteResult failed = blocked.enable();
    EXPECT_FALSE(failed);
    EXPECT_FALSE(failed.reason.empty());
    EXPECT_FALSE(blocked.exists());
    EXPECT_FALSE(AutostartEntry(entry.path(), "/x/zeile\numbruch").enable());
}

} // namespace
} // namespace velmora::test
