// The tray's door to the history window: its program is started once, told
// to come forward while it runs, started again after it ended, and ends with
// the meter. A stand-in program records what it is told; the real one is run
// offscreen.
#include <gtest/gtest.h>

#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <string>

#include "app/HistoryWindowViewer.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

bool eventually(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

class HistoryWindowViewerTest : public TempDirTest {
protected:
    // A window program that writes its arguments and every line it is given
    // to a file, and "ende" when its input ends.
    HistoryWindowViewer::Program standIn() {
        const std::string script = pathOf("fenster.sh");
        writeFileBytes(script, "#!/bin/sh\n"
                               "out=$1; shift\n"
                               "echo $$ > \"$out.pid\"\n"
                               "echo \"start $*\" >> \"$out\"\n"
                               "while IFS= read -r line; do echo \"$line\" >> \"$out\"; done\n"
                               "echo ende >> \"$out\"\n");
        QFile::setPermissions(QString::fromStdString(script), QFile::ReadOwner | QFile::ExeOwner);
        return {QString::fromStdString(script),
                {QString::fromStdString(pathOf("gesagt.txt")), "--protokoll", "/x/zelvar.log"}};
    }
    std::string told() { return readFileBytes(pathOf("gesagt.txt")); }
    bool toldEventually(const std::string& expected) {
        return eventually([&] { return told() == expected; });
    }
};

TEST_F(HistoryWindowViewerTest, StartsOnceBringsForwardAndClosesWithTheMeter) {
    auto viewer = std::make_unique<HistoryWindowViewer>(standIn());
    viewer->open();
    ASSERT_TRUE(toldEventually("start --protokoll /x/zelvar.log\n")) << told();
    viewer->open();
    viewer->open();
    ASSERT_TRUE(toldEventually("start --protokoll /x/zelvar.log\nzeigen\nzeigen\n")) << told();
    EXPECT_TRUE(viewer->windowRunning());
    viewer.reset(); // the meter ends
    EXPECT_EQ(told(), "start --protokoll /x/zelvar.log\nzeigen\nzeigen\nende\n");
}

TEST_F(HistoryWindowViewerTest, AWindowThatEndedIsStartedAgain) {
    HistoryWindowViewer viewer(standIn());
    viewer.open();
    ASSERT_TRUE(toldEventually("start --protokoll /x/zelvar.log\n"));
    ASSERT_EQ(::kill(std::stoi(readFileBytes(pathOf("gesagt.txt.pid"))), SIGKILL), 0);
    // Told to come forward before the meter has noticed the end: the write
    // meets a closed pipe, which must not end the meter (SIGPIPE).
    viewer.open();
    ASSERT_TRUE(eventually([&] { return !viewer.windowRunning(); }));
    viewer.open();
    ASSERT_TRUE(toldEventually("start --protokoll /x/zelvar.log\nstart --protokoll /x/zelvar.log\n")) << told();
}

TEST_F(HistoryWindowViewerTest, AProgramThatCannotStartIsNamedAndTriedAgain) {
    HistoryWindowViewer viewer({QString::fromStdString(pathOf("fehlt/velmora-verlauf")), {}});
    testing::internal::CaptureStderr();
    viewer.open();
    viewer.open();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(viewer.windowRunning());
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    EXPECT_NE(said.find("der Verlauf kann nicht geöffnet werden: " + pathOf("fehlt/velmora-verlauf")),
              std::string::npos)
        << said;
}

TEST_F(HistoryWindowViewerTest, TheRealWindowProgramEndsWhenTheMeterDoes) {
    writeFileBytes(pathOf("zelvar.log"), "[Von 1.2.2026 09:00:00 bis 1.2.2026 09:10:00]\nVerbindungskosten=0.36\n"
                                         "Gesamtkosten bis dato=0.36\nEmpfangen=100\nGesendet=10\n");
    auto viewer = std::make_unique<HistoryWindowViewer>(
        HistoryWindowViewer::Program{VELMORA_HISTORY_PROGRAM_BUILT,
                                     {"--protokoll", QString::fromStdString(pathOf("zelvar.log")), "--waehrung", "€"}});
    viewer->open();
    ASSERT_TRUE(viewer->windowRunning());
    QThread::msleep(300); // the window is up
    viewer->open();
    EXPECT_TRUE(viewer->windowRunning()) << "brought forward, not ended";
    QDeadlineTimer ends(3000);
    viewer.reset();
    EXPECT_FALSE(ends.hasExpired()) << "it ended on its own, not by the kill after the wait";
}

} // namespace
} // namespace velmora::test

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
