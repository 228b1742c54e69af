// The program on a real X11 desktop (Xvfb and a private session bus, set up by
// with_desktop.sh): a notification area that appears after the program and
// again after a restart, as a StatusNotifierWatcher (python-dbusmock) or as an
// XEmbed tray manager (played here on an X connection of its own), and the
// window title as the window manager reads it.
//
// Qt decides once per process whether its tray icon uses D-Bus, so each group
// runs in a process of its own (see CMakeLists.txt).

#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <xcb/xcb.h>

#include "app/MonitorApp.h"
#include "monitor/ScriptedSource.h"
#include "platform/Version.h"
#include "qthost/QtHost.h"
#include "qthost/QtHostDriver.h"
#include "store/ConnectionLog.h"
#include "store/SettingsProfile.h"
#include "ui/ControlIds.h"

namespace velmora::desktoptest {
namespace {

using namespace velmora::ids;

// Lets the event loop run until done() or ten seconds have passed.
bool waitFor(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The program as main() builds it, on a scripted link, with the desktop's own
// notification area.
struct Program {
    Program()
        : clock(epochSecondsAt(2026, 12, 9, 10, 30, 0) * 1000, 7'000'000)
        , user(host, /*desktopTray=*/true)
        , profile(dir.filePath("velmora.INI").toStdString())
        , log(dir.filePath("zelvar.log").toStdString())
        , app({host, clock, source, facts, profile, log}) {}

    void run(std::vector<std::function<void()>> steps) {
        user.script(std::move(steps));
        app.runMainDialog();
        EXPECT_FALSE(user.scriptRanOut());
    }
    WindowId main() const { return app.mainWindow()->window(); }

    QTemporaryDir dir;
    VirtualClock clock;
    QtHost host;
    QtHostDriver user;
    ScriptedSource source;
    FixedSystemFacts facts;
    SettingsProfile profile;
    ConnectionLog log;
    MonitorApp app;
};

// ---- a StatusNotifierItem panel ------------------------------------------------------------

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

// Debian's python3-dbusmock is for the system's Python, whatever else is on PATH.
QString python() {
    const QString system = QStringLiteral("/usr/bin/python3");
    return QFile::exists(system) ? system : QStringLiteral("python3");
}

// A panel's StatusNotifierWatcher, played by python-dbusmock.
class FakeWatcher {
public:
    static bool available() {
        return QProcess::execute(python(), {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) == 0;
    }
    FakeWatcher() {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(python(), {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                                  QStringLiteral(VELMORA_TEST_DIR "/status_notifier_watcher.py")});
    }
    ~FakeWatcher() { stop(); }
    bool started() {
        return waitFor([] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kWatcher).value(); });
    }
    void stop() {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    // The services that registered an item with this watcher.
    QStringList registeredItems() {
        QDBusInterface mock(kWatcher, QStringLiteral("/StatusNotifierWatcher"),
                            QStringLiteral("org.freedesktop.DBus.Mock"));
        QDBusMessage calls = mock.call(QStringLiteral("GetMethodCalls"), QStringLiteral("RegisterStatusNotifierItem"));
        QStringList services;
        if (calls.type() != QDBusMessage::ReplyMessage) return services;
        const QDBusArgument list = calls.arguments().value(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            qulonglong time = 0;
            QVariantList args;
            list.beginStructure();
            list >> time >> args;
            list.endStructure();
            if (!args.isEmpty()) services << args.first().toString();
        }
        list.endArray();
        return services;
    }

private:
    QProcess process_;
};

// The title the item shows, asked over the bus as a panel asks it.
QString itemTitle(const QString& service) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("Title");
    QDBusPendingCall call = QDBusConnection::sessionBus().asyncCall(get);
    waitFor([&] { return call.isFinished(); }); // the item lives in this very process
    const QDBusPendingReply<QDBusVariant> reply = call;
    return reply.isValid() ? reply.value().variant().toString() : QString();
}

TEST(StatusNotifierDesktop, APanelThatStartsLateAndAgainGetsTheIconTitledVelmora) {
    if (!FakeWatcher::available()) GTEST_SKIP() << "python3-dbusmock is not installed";
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    setApplicationIdentity(kProductName, kAppId);
    Program p;
    std::unique_ptr<FakeWatcher> panel;
    p.run({[&] {
        EXPECT_FALSE(p.user.trayIconPresent(TrayIconId));
        p.user.pressEnter(p.main()); // no notification area: minimised
        EXPECT_TRUE(p.host.isMinimized(p.main()));

        panel = std::make_unique<FakeWatcher>();
        ASSERT_TRUE(panel->started());
        ASSERT_TRUE(waitFor([&] { return p.user.trayIconPresent(TrayIconId); }));
        ASSERT_TRUE(waitFor([&] { return !panel->registeredItems().isEmpty(); }));
        EXPECT_EQ(itemTitle(panel->registeredItems().first()), QStringLiteral("Velmora"));
        p.user.pressEnter(p.main());
        EXPECT_TRUE(p.app.mainWindow()->hiddenInTray());

        panel->stop(); // the panel restarts
        ASSERT_TRUE(waitFor([&] { return !p.user.trayIconPresent(TrayIconId); }));
        EXPECT_TRUE(p.host.isMinimized(p.main())) << "a hidden window goes to the task bar";
        panel = std::make_unique<FakeWatcher>();
        ASSERT_TRUE(panel->started());
        ASSERT_TRUE(waitFor([&] { return !panel->registeredItems().isEmpty(); }));
        EXPECT_TRUE(p.user.trayIconPresent(TrayIconId));
        p.user.pressEscape(p.main());
    }});
}

// ---- an XEmbed tray ----------------------------------------------------------------------------

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    xcb_atom_t atom = XCB_ATOM_NONE;
    if (reply) atom = reply->atom;
    std::free(reply);
    return atom;
}

// A tray manager as a panel runs it: owns _NET_SYSTEM_TRAY_S0, says so to
// every client, and notes the icons that ask to be docked.
class FakeTrayManager {
public:
    FakeTrayManager() : c_(xcb_connect(nullptr, nullptr)) {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        const xcb_atom_t selection = internAtom(c_, "_NET_SYSTEM_TRAY_S0");
        opcode_ = internAtom(c_, "_NET_SYSTEM_TRAY_OPCODE");
        xcb_set_selection_owner(c_, window_, selection, XCB_CURRENT_TIME);
        xcb_client_message_event_t manager{};
        manager.response_type = XCB_CLIENT_MESSAGE;
        manager.format = 32;
        manager.window = screen->root;
        manager.type = internAtom(c_, "MANAGER");
        manager.data.data32[0] = XCB_CURRENT_TIME;
        manager.data.data32[1] = selection;
        manager.data.data32[2] = window_;
        xcb_send_event(c_, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&manager));
        xcb_flush(c_);
    }
    ~FakeTrayManager() { xcb_disconnect(c_); } // the panel ends: its window goes
    // Icons that asked to be docked so far.
    int dockRequests() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->type == opcode_ &&
                message->data.data32[1] == 0 /* SYSTEM_TRAY_REQUEST_DOCK */)
                ++dockRequests_;
            std::free(event);
        }
        return dockRequests_;
    }

private:
    xcb_connection_t* c_;
    xcb_window_t window_ = 0;
    xcb_atom_t opcode_ = XCB_ATOM_NONE;
    int dockRequests_ = 0;
};

TEST(XEmbedDesktop, ATrayThatStartsLateAndAgainDocksTheIcon) {
    Program p;
    std::unique_ptr<FakeTrayManager> tray;
    p.run({[&] {
        EXPECT_FALSE(p.user.trayIconPresent(TrayIconId));
        tray = std::make_unique<FakeTrayManager>();
        ASSERT_TRUE(waitFor([&] { return p.user.trayIconPresent(TrayIconId); }));
        ASSERT_TRUE(waitFor([&] { return tray->dockRequests() > 0; }));
        p.user.pressEnter(p.main());
        EXPECT_TRUE(p.app.mainWindow()->hiddenInTray());

        tray.reset();
        ASSERT_TRUE(waitFor([&] { return !p.user.trayIconPresent(TrayIconId); }));
        EXPECT_TRUE(p.host.isMinimized(p.main()));
        tray = std::make_unique<FakeTrayManager>();
        ASSERT_TRUE(waitFor([&] { return tray->dockRequests() > 0; }));
        p.user.pressEscape(p.main());
    }});
}

// The watch starts once the window shows; a tray that was there before the
// program still gets the icon, and the window is on screen before it.
TEST(XEmbedDesktop, ATrayRunningBeforeTheProgramDocksTheIconOnceTheWindowShows) {
    const auto tray = std::make_unique<FakeTrayManager>();
    Program p;
    p.run({[&] {
        EXPECT_TRUE(p.host.isVisible(p.main()));
        ASSERT_TRUE(waitFor([&] { return p.user.trayIconPresent(TrayIconId); }));
        ASSERT_TRUE(waitFor([&] { return tray->dockRequests() > 0; }));
        p.user.pressEnter(p.main());
        EXPECT_TRUE(p.app.mainWindow()->hiddenInTray());
        p.app.bringMainWindowForward(); // as a click on the icon
        EXPECT_TRUE(p.host.isVisible(p.main()));
        p.user.pressEscape(p.main());
    }});
}

// ---- the window title ------------------------------------------------------------------------

// What a window manager reads as the title.
std::string netWmName(QWidget& window) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const auto cookie = xcb_get_property(c, 0, static_cast<xcb_window_t>(window.winId()), internAtom(c, "_NET_WM_NAME"),
                                         internAtom(c, "UTF8_STRING"), 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    std::string name = reply ? std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                                           static_cast<std::size_t>(xcb_get_property_value_length(reply)))
                             : "<none>";
    std::free(reply);
    xcb_disconnect(c);
    return name;
}

// Mended: before the first poll the title read "velmora" (Qt's stand-in for an
// empty title); with a display name set, Qt would append it to every title.
TEST(WindowDesktop, TheTitleIsEmptyUntilTheFirstPollAndThenExactlyWhatTheProgramSets) {
    setApplicationIdentity(kProductName, kAppId);
    Program p;
    p.run({[&] {
        QWidget& window = *p.host.widget(p.main());
        EXPECT_EQ(netWmName(window), "");
        p.user.advance(1200);
        ASSERT_EQ(p.host.caption(p.main()), "Keine Verbindung");
        EXPECT_EQ(netWmName(window), "Keine Verbindung");
        p.host.setCaption(p.main(), "");
        EXPECT_EQ(netWmName(window), "");
        p.user.pressEscape(p.main());
    }});
}

} // namespace
} // namespace velmora::desktoptest

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
