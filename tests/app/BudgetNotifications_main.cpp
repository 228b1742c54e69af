// The budget's notifications through the desktop's notification service on a
// private session bus (with_session_bus.sh), played by python-dbusmock's
// notification daemon: what it is sent, once per billing period, also across
// restarts; and where the message goes without the service.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <optional>

#include "app/DesktopNotifications.h"
#include "app/MonitorApp.h"
#include "monitor/ScriptedSource.h"
#include "platform/InMemoryHost.h"

namespace velmora::notificationtest {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QString python() {
    const QString system = QStringLiteral("/usr/bin/python3");
    return QFile::exists(system) ? system : QStringLiteral("python3");
}

struct Notification {
    QString app;
    QString summary;
    QString body;
};

// The desktop's notification server, played by python-dbusmock.
class FakeNotificationServer {
public:
    static bool available() {
        return QProcess::execute(python(), {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) == 0;
    }
    FakeNotificationServer() {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(python(), {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                                  QStringLiteral("notification_daemon")});
    }
    ~FakeNotificationServer() {
        process_.terminate();
        process_.waitForFinished(5000);
        waitFor([] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value(); });
    }
    bool started() {
        return waitFor([] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value(); });
    }
    std::vector<Notification> received() {
        QDBusInterface mock(kService, QStringLiteral("/org/freedesktop/Notifications"),
                            QStringLiteral("org.freedesktop.DBus.Mock"));
        const QDBusMessage calls = mock.call(QStringLiteral("GetMethodCalls"), QStringLiteral("Notify"));
        std::vector<Notification> all;
        if (calls.type() != QDBusMessage::ReplyMessage) return all;
        const QDBusArgument list = calls.arguments().value(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            qulonglong time = 0;
            QVariantList args;
            list.beginStructure();
            list >> time >> args;
            list.endStructure();
            if (args.size() == 8) all.push_back({args[0].toString(), args[3].toString(), args[4].toString()});
        }
        list.endArray();
        return all;
    }

private:
    QProcess process_;
};

// The meter with the real notifier, on a virtual clock and a scripted link,
// over files that outlive it (a restart is another MeterRun on the same folder).
struct Files {
    QTemporaryDir dir;
    std::string profile() const { return dir.filePath("velmora.INI").toStdString(); }
    std::string log() const { return dir.filePath("zelvar.log").toStdString(); }
};

struct MeterRun {
    MeterRun(const Files& files, std::int64_t startEpochMs, bool tray = true)
        : clock(startEpochMs, 7'000'000)
        , host(clock)
        , profile(files.profile())
        , log(files.log())
        , notifier(QStringLiteral("Velmora"), QStringLiteral("velmora"), QStringLiteral("io.velmora.Velmora")) {
        host.setTrayArea(tray);
        MonitorEnvironment env{host, clock, source, facts, profile, log};
        env.notifier = &notifier;
        app.emplace(env);
    }
    void run(std::vector<std::function<void()>> steps) {
        host.script(std::move(steps));
        app->runMainDialog();
        EXPECT_FALSE(host.scriptRanOut());
    }
    void seconds(unsigned n) { host.advance(n * 1000ULL); }
    WindowId main() const { return app->mainWindow()->window(); }

    VirtualClock clock;
    InMemoryHost host;
    ScriptedSource source;
    FixedSystemFacts facts;
    SettingsProfile profile;
    ConnectionLog log;
    DesktopNotifications notifier;
    std::optional<MonitorApp> app;
};

std::int64_t localMs(int year, int month, int day, int hour, int minute) {
    return epochSecondsAt(year, month, day, hour, minute, 0) * 1000;
}

class BudgetNotifications : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
        if (!FakeNotificationServer::available()) GTEST_SKIP() << "python3-dbusmock is not installed";
        // 0.30 from the 15th: City's second unit (0.12 every 90 s on a working day) reaches 80 %.
        SettingsProfile(files.profile()).writeStrings("Budget", {{"Monat", "0.30"}, {"Stichtag", "15"}});
    }
    Files files;
};

TEST_F(BudgetNotifications, EachShareIsSentOncePerPeriodAlsoAcrossRestarts) {
    FakeNotificationServer server;
    ASSERT_TRUE(server.started());
    {
        MeterRun first(files, localMs(2026, 12, 16, 10, 0)); // Wednesday
        first.source.up("T-Online");
        first.run({[&] {
            first.seconds(1 + 90);
            ASSERT_TRUE(waitFor([&] { return server.received().size() == 1; }));
            const Notification sent = server.received()[0];
            EXPECT_EQ(sent.app, "Velmora");
            EXPECT_EQ(sent.summary, "Monatsbudget zu 80 % verbraucht");
            EXPECT_EQ(sent.body.toStdString(),
                      "Ausgegeben: 0.24 € von 0.30 € (80 %)\nPrognose zum 14.1.2027: 5.25 €, über dem Budget");
            first.seconds(60);
            first.source.down();
            first.seconds(1);
            first.host.pressEscape(first.main());
        }});
        EXPECT_TRUE(first.host.trayMessages().empty());
    }
    {
        MeterRun again(files, localMs(2026, 12, 17, 10, 0));
        again.source.up("T-Online");
        again.run({[&] {
            again.seconds(1); // 0.36: over the budget, 80 % not again
            ASSERT_TRUE(waitFor([&] { return server.received().size() == 2; }));
            EXPECT_EQ(server.received()[1].summary, "Monatsbudget überschritten");
            again.seconds(1800);
            again.source.down();
            again.seconds(1);
            again.host.pressEscape(again.main());
        }});
    }
    {
        MeterRun later(files, localMs(2027, 1, 5, 10, 0)); // the same period, after the year's end
        later.source.up("T-Online");
        later.run({[&] {
            later.seconds(600);
            QCoreApplication::processEvents();
            later.source.down();
            later.seconds(1);
            later.host.pressEscape(later.main());
        }});
    }
    EXPECT_FALSE(waitFor([&] { return server.received().size() > 2; }, 300)) << "told once per period";
    {
        MeterRun next(files, localMs(2027, 1, 15, 10, 0)); // Friday, the next period
        next.source.up("T-Online");
        next.run({[&] {
            next.seconds(1 + 90);
            ASSERT_TRUE(waitFor([&] { return server.received().size() == 3; }));
            EXPECT_EQ(server.received()[2].summary, "Monatsbudget zu 80 % verbraucht");
            next.host.pressEscape(next.main());
        }});
    }
}

TEST_F(BudgetNotifications, WithoutTheServiceTheMessageGoesBesideTheIconOrToStderr) {
    MeterRun beside(files, localMs(2026, 12, 16, 10, 0));
    beside.source.up("T-Online");
    beside.run({[&] {
        beside.seconds(1 + 90);
        ASSERT_TRUE(waitFor([&] { return !beside.host.trayMessages().empty(); }));
        EXPECT_EQ(beside.host.trayMessages()[0].title, "Monatsbudget zu 80 % verbraucht");
        beside.host.pressEscape(beside.main());
    }});

    Files other;
    SettingsProfile(other.profile()).writeStrings("Budget", {{"Monat", "0.30"}, {"Stichtag", "15"}});
    MeterRun bare(other, localMs(2026, 12, 16, 10, 0), /*tray=*/false);
    bare.source.up("T-Online");
    ::testing::internal::CaptureStderr();
    bare.run({[&] {
        bare.seconds(1 + 90);
        waitFor([] { return false; }, 500); // the bus answers that no one serves the name
        bare.host.pressEscape(bare.main());
    }});
    EXPECT_EQ(
        ::testing::internal::GetCapturedStderr().rfind("velmora: Monatsbudget zu 80 % verbraucht: Ausgegeben: ", 0),
        0u);
}

} // namespace
} // namespace velmora::notificationtest

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
