// The poll sleeps while nothing is listed and the link source can say when
// that changes: a tick would change nothing on screen then. Whatever needs a
// tick every second (a link listed, a connection, a write held back) keeps it.
#include "EngineFixture.h"

#include <unistd.h>

#include <QDir>

namespace velmora::testing {
namespace {

using namespace velmora::ids;

// A pipe stands for the source's netlink and inotify descriptors.
class News {
public:
    News() {
        if (::pipe(fds_) != 0) ADD_FAILURE() << "no pipe";
    }
    ~News() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    int descriptor() const { return fds_[0]; }
    void arrive() { ASSERT_EQ(::write(fds_[1], "n", 1), 1); }
    void take() {
        char byte;
        ASSERT_EQ(::read(fds_[0], &byte, 1), 1);
    }

private:
    int fds_[2] = {-1, -1};
};

struct QuietEngine : Engine {
    QuietEngine() { source.notifiers = {news.descriptor()}; }
    News news;
    // Polls (source lists) during the next n seconds.
    int pollsIn(unsigned n) {
        const int before = source.listCalls;
        seconds(n);
        return source.listCalls - before;
    }
};

TEST(QuietPoll, SleepsWhileNothingIsListedAndWakesOnNewsOrAfterAMinute) {
    QuietEngine e;
    e.run({[&] {
        EXPECT_EQ(e.pollsIn(1), 1); // the first poll
        EXPECT_EQ(e.caption(), "Keine Verbindung");
        EXPECT_EQ(e.pollsIn(298), 0);
        EXPECT_EQ(e.pollsIn(2), 1) << "five minutes at the most, for news that never came";

        e.source.up("T-Online");
        e.news.arrive();
        EXPECT_EQ(e.pollsIn(0), 1) << "the news wakes the poll at once";
        e.news.take(); // as the real source's list does
        EXPECT_EQ(e.field(ConnectionCost), "0.12") << "the connection opens in that same tick";
        EXPECT_EQ(e.pollsIn(5), 5) << "a connection is polled every second";
        EXPECT_EQ(e.field(TimeOnline), "00:00:05");

        e.source.down();
        EXPECT_EQ(e.pollsIn(1), 1);
        EXPECT_EQ(e.caption(), "Keine Verbindung");
        EXPECT_EQ(e.pollsIn(30), 0) << "asleep again once the connection is logged";
        e.host.pressEscape(e.main());
    }});
    EXPECT_NE(e.logText().find("Verbindungskosten=0.12"), std::string::npos);
}

TEST(QuietPoll, ALinkStillDiallingOrASourceWithoutNewsIsPolledEverySecond) {
    QuietEngine e;
    e.source.dialling("T-Online");
    e.run({[&] {
        EXPECT_EQ(e.pollsIn(10), 10);
        e.host.show(e.main(), ShowMode::Minimized);
        e.seconds(1);
        EXPECT_FALSE(e.host.isVisible(e.main())) << "a dialling link still puts a minimised window away";
        e.source.down();
        e.source.notifiers.clear(); // a source that cannot tell
        EXPECT_EQ(e.pollsIn(10), 10);
        e.host.pressEscape(e.main());
    }});
}

TEST(QuietPoll, AWriteHeldBackKeepsThePollGoingUntilItLands) {
    QuietEngine e;
    const QString logPath = QString::fromStdString(e.log.path());
    ASSERT_TRUE(QDir().mkpath(logPath)); // a folder where the log should be: its writes fail
    e.run({[&] {
        e.source.up("T-Online");
        e.seconds(2);
        e.source.down();
        e.seconds(1); // the record is held back
        EXPECT_EQ(e.pollsIn(10), 10) << "retried every second";
        ASSERT_TRUE(QDir(logPath).removeRecursively());
        e.seconds(1); // lands
        EXPECT_EQ(e.pollsIn(10), 0);
        e.host.pressEscape(e.main());
    }});
    EXPECT_NE(e.logText().find("Verbindungskosten=0.12"), std::string::npos);
}

} // namespace
} // namespace velmora::testing
