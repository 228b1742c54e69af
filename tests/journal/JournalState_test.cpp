// The journal's state as text, and what a crashed writer's state becomes.
#include <gtest/gtest.h>

#include "journal/JournalState.h"

namespace velmora {
namespace {

LocalTime at(int day, int hour, int minute, int second) { return {2026, 12, 3, day, hour, minute, second, 0}; }

OpenConnection openConnection() {
    return {"T-Online \"Büro\"",   at(9, 10, 30, 0),       7000, at(9, 10, 44, 30), 7870,
            Money::fromCents(132), Money::fromCents(12540)};
}

TEST(JournalState, RoundTripsEveryPartAsText) {
    JournalState state;
    state.open = openConnection();
    state.open->startEpochSeconds = 1'796'808'600;
    state.open->checkpointEpochSeconds = 1'796'809'470;
    state.open->bytesReceived = 18'446'744'073'709'551'615u; // beyond what a JSON number holds exactly
    state.open->bytesSent = 0;
    state.logResetPending = true;
    state.pendingRecords = {{at(8, 9, 5, 7), at(8, 10, 15, 0), "3.60", "124.08", 48'213'504, 1'630'208},
                            {at(8, 23, 59, 30), at(9, 0, 0, 40), "0.12", "124.20"}};
    state.pendingSettings = {{"Kosten", "124.20"}, {"Tarifzone", "4"}, {"Warnung", "-1"}};
    const std::optional<JournalState> back = parseJournalText(journalText(state));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, state);
    EXPECT_EQ(parseJournalText(journalText(JournalState{})), JournalState{});
    state.open->cost = Money::fromMicros(725'000); // a fee of three decimals: kept exact
    state.open->total = Money::fromMicros(12'612'500);
    EXPECT_EQ(parseJournalText(journalText(state)), state);
    EXPECT_TRUE(JournalState{}.empty());
}

// Bytes are a figure to show: a count an older version never wrote, or one
// damaged by hand, is unknown, and the money around it still counts.
TEST(JournalState, ByteCountsMissingOrMalformedReadAsUnknown) {
    const std::string older = R"({"format":1,"open":{"name":"T-Online","start":[2026,12,9,10,30,0,3],)"
                              R"("startBoot":7000,"checkpoint":[2026,12,9,10,44,30,3],"checkpointBoot":7870,)"
                              R"("cost":"1.32","total":"125.40"},"records":[{"start":[2026,12,8,9,5,7,2],)"
                              R"("end":[2026,12,8,10,15,0,2],"cost":"3.60","total":"124.08"}]})";
    const std::optional<JournalState> old = parseJournalText(older);
    ASSERT_TRUE(old && old->open);
    EXPECT_EQ(old->open->cost, Money::fromCents(132));
    EXPECT_FALSE(old->open->bytesReceived || old->open->bytesSent);
    ASSERT_EQ(old->pendingRecords.size(), 1u);
    EXPECT_FALSE(old->pendingRecords[0].bytesReceived || old->pendingRecords[0].bytesSent);

    for (const char* bad : {R"(-5)", R"("-5")", R"("12x")", R"("")", R"(" 7")", R"("18446744073709551616")", "7"}) {
        const std::string text = R"({"format":1,"records":[{"start":[2026,12,8,9,5,7,2],"end":[2026,12,8,10,15,0,2],)"
                                 R"("cost":"3.60","total":"124.08","received":)" +
                                 std::string(bad) + R"(,"sent":"99"}]})";
        const std::optional<JournalState> read = parseJournalText(text);
        ASSERT_TRUE(read && read->pendingRecords.size() == 1) << bad;
        EXPECT_EQ(read->pendingRecords[0].connectionCost, "3.60") << bad;
        EXPECT_EQ(read->pendingRecords[0].bytesReceived, std::nullopt) << bad;
        EXPECT_EQ(read->pendingRecords[0].bytesSent, 99u) << bad;
    }
}

TEST(JournalState, TextOfAnotherKindIsNoState) {
    for (const char* text :
         {"", "[Standard]\nKosten=1.00\n", "{}", "{\"format\":2}", "{\"format\":9}",
          "{\"format\":1,\"open\":{\"start\":[1,2]}}", "{\"format\":1,\"records\":[{\"cost\":\"1\"}]}",
          "{\"format\":1,\"settings\":[[\"Kosten\"]]}",
          "{\"format\":2,\"unreadTotal\":1}"}) { // more records counting from it than there are
        EXPECT_EQ(parseJournalText(text), std::nullopt) << text;
    }
}

TEST(JournalState, BootSecondsNoWriterStoresReadAsZeroAndKeepTheState) {
    const std::optional<JournalState> state = parseJournalText(
        R"({"format":1,"open":{"name":"T","start":[2026,12,9,17,59,51,3],"startBoot":-1,)"
        R"("checkpoint":[2026,12,9,18,9,51,3],"checkpointBoot":1e30,"cost":"0.72","total":"126.12"}})");
    ASSERT_TRUE(state && state->open);
    EXPECT_EQ(state->open->startBootSeconds, 0u);
    EXPECT_EQ(state->open->checkpointBootSeconds, 0u);
    EXPECT_EQ(state->open->total.text(), "126.12");
}

TEST(JournalState, ACrashedConnectionBecomesARecordEndingAtItsLastCheckpointOnce) {
    JournalState crashed;
    crashed.open = openConnection();
    crashed.open->bytesReceived = 5'000'000;
    crashed.open->bytesSent = 250'000;
    crashed.pendingRecords = {{at(8, 9, 5, 7), at(8, 10, 15, 0), "3.60", "124.08"}};
    const JournalState closed = closedAfterCrash(crashed);
    EXPECT_FALSE(closed.open);
    ASSERT_EQ(closed.pendingRecords.size(), 2u);
    EXPECT_EQ(closed.pendingRecords[0], crashed.pendingRecords[0]); // the older one stays first
    EXPECT_EQ(closed.pendingRecords[1],
              (LogRecord{at(9, 10, 30, 0), at(9, 10, 44, 30), "1.32", "125.40", 5'000'000, 250'000}));
    EXPECT_EQ(closed.pendingSettings, (SettingsValues{{"Kosten", "125.40"}}));
    EXPECT_EQ(closedAfterCrash(closed), closed); // a second recovery adds nothing
}

// The wall clock set back two hours between the start and the last
// checkpoint: the record ends at the checkpoint and starts the boot clock's
// 870 s before it. The seconds since 1970 that the journal holds tell the
// repeated hour of the autumn night apart, which the local times cannot.
TEST(JournalState, ACrashedConnectionsRecordStartsItsTimeOnlineBeforeItsLastCheckpoint) {
    JournalState setBack;
    setBack.open = openConnection(); // 10:30:00, 870 s on the boot clock
    setBack.open->checkpoint = at(9, 8, 44, 30);
    EXPECT_EQ(closedAfterCrash(setBack).pendingRecords[0].start, at(9, 8, 30, 0)) << "a journal of local times";
    setBack.open->startEpochSeconds = epochSecondsAt(2026, 12, 9, 10, 30, 0);
    setBack.open->checkpointEpochSeconds = setBack.open->startEpochSeconds + 870 - 7200;
    EXPECT_EQ(closedAfterCrash(setBack).pendingRecords[0].start, at(9, 8, 30, 0));

    JournalState autumn; // 02:30 summer time to 02:10 winter time, 40 minutes
    autumn.open = openConnection();
    const std::int64_t start = epochSecondsAt(2026, 10, 25, 1, 30, 0) + 3600; // 02:30 CEST
    autumn.open->start = localTimeOf(start);
    autumn.open->startEpochSeconds = start;
    autumn.open->checkpoint = localTimeOf(start + 2400);
    autumn.open->checkpointEpochSeconds = start + 2400;
    autumn.open->checkpointBootSeconds = autumn.open->startBootSeconds + 2400;
    ASSERT_EQ(autumn.open->checkpoint.hour * 100 + autumn.open->checkpoint.minute, 210);
    EXPECT_EQ(closedAfterCrash(autumn).pendingRecords[0].start, autumn.open->start);
}

TEST(JournalState, TheCrashedConnectionsTotalReplacesAPendingOne) {
    JournalState crashed;
    crashed.open = openConnection();
    crashed.pendingSettings = {{"Kosten", "124.08"}, {"Tarifzone", "2"}, {"Warnung", "0"}};
    EXPECT_EQ(closedAfterCrash(crashed).pendingSettings,
              (SettingsValues{{"Kosten", "125.40"}, {"Tarifzone", "2"}, {"Warnung", "0"}}));
}

// A run that could not read "Kosten": its totals count from 0 until the
// stored total is known; then the records take their running totals from it.
TEST(JournalState, TotalsCountedFromAnUnreadTotalCountFromTheStoredOneOnceItIsRead) {
    JournalState unread;
    unread.totalUnread = true;
    unread.pendingRecords = {{at(8, 9, 0, 0), at(8, 9, 30, 0), "0.48", "10.48"}, // booked before: a total of its own
                             {at(9, 9, 0, 0), at(9, 9, 30, 0), "0.24", "0.24"},
                             {at(9, 11, 0, 0), at(9, 11, 5, 0), "0.12", "0.36"}};
    unread.unreadRecords = 2;
    unread.open = openConnection();
    unread.open->total = Money::fromCents(168); // 0.36 before it, 1.32 its own
    unread.pendingSettings = {{"Kosten", "0.36"}, {"Tarifzone", "0"}, {"Warnung", "0"}};
    const std::optional<JournalState> back = parseJournalText(journalText(unread));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, unread);

    // A crash first: the open connection is one more record waiting for the total.
    const JournalState crashed = closedAfterCrash(unread);
    EXPECT_EQ(crashed.unreadRecords, 3u);
    const JournalState read = withStoredTotal(crashed, Money::fromCents(12540));
    EXPECT_FALSE(read.totalUnread);
    EXPECT_EQ(read.unreadRecords, 0u);
    std::vector<std::string> totals;
    for (const LogRecord& record : read.pendingRecords) totals.push_back(record.grandTotal);
    EXPECT_EQ(totals, (std::vector<std::string>{"10.48", "125.64", "125.76", "127.08"}));
    EXPECT_EQ(read.pendingSettings, (SettingsValues{{"Kosten", "127.08"}})) << "the choices were not read either";
    EXPECT_EQ(withStoredTotal(read, Money::fromCents(100)), read) << "read once, never again";
    EXPECT_EQ(withStoredTotal(unread, Money()).open->total, Money::fromCents(168)) << "no file: 0";
    // A version that knows no unread totals must not take these for whole ones.
    EXPECT_TRUE(journalText(unread).starts_with("{\"format\":2,"));
    EXPECT_TRUE(journalText(read).starts_with("{\"format\":1,"));
}

} // namespace
} // namespace velmora
