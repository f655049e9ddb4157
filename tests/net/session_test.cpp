// Games between krrun processes on 127.0.0.1: hosting and joining, players,
// message types and payloads, leaving and host migration.
#include <gtest/gtest.h>

#include "tests/net/net_support.h"

using namespace nettest;

TEST(Session, HostAndJoinExchangeEveryKindOfMessage) {
  auto runs = runGame({{"net_basic_host"}, {"net_basic_join", 300}});
  const RunResult& host = runs[0];
  const RunResult& join = runs[1];
  ASSERT_TRUE(ended(host)) << host.err;
  ASSERT_TRUE(ended(join)) << join.err;

  EXPECT_EQ(value(host, "host"), "2");
  EXPECT_EQ(value(host, "alpha_local"), "1");
  EXPECT_EQ(value(host, "alpha_positive"), "1");
  EXPECT_EQ(value(join, "join"), "1");
  EXPECT_EQ(value(join, "join_type"), "100") << "the host's player is reported first";
  EXPECT_EQ(value(join, "host_player"), "alpha");
  EXPECT_EQ(value(join, "alpha_local"), "0");
  EXPECT_EQ(value(join, "alpha_after_delete"), "alpha") << "a remote player is not ours to delete";
  EXPECT_EQ(valuesOf(host, "joined"), (std::vector<std::string>{"beta", "gamma"}));
  EXPECT_EQ(value(host, "beta_local"), "0");
  EXPECT_EQ(value(host, "ids_differ"), "1");

  // Sent as 300, 200, 128, 255, -1, INT_MAX, 0, 256, INT_MIN, 7: only the low
  // byte travels, read as signed, and a low byte of 0 is never reported.
  EXPECT_EQ(valuesOf(host, "got_type"),
            (std::vector<std::string>{"44", "-56", "-128", "-1", "-1", "-1", "7"}));
  for (const std::string& v : valuesOf(host, "got_from_beta")) EXPECT_EQ(v, "1");
  for (const std::string& v : valuesOf(host, "got_to")) EXPECT_EQ(v, "0");
  EXPECT_EQ(value(host, "done_seen"), "1");

  EXPECT_EQ(valuesOf(host, "sent"), (std::vector<std::string>{"1", "1", "1", "1"}));
  EXPECT_EQ(valuesOf(host, "echo_type"), (std::vector<std::string>{"11", "12", "13", "14"}));
  EXPECT_EQ(valuesOf(host, "echo_len"), (std::vector<std::string>{"0", "256", "2000", "65536"}));
  EXPECT_EQ(valuesOf(host, "echo_equal"), (std::vector<std::string>{"1", "1", "1", "1"}));

  // A send between two local players is accepted and never delivered.
  EXPECT_EQ(value(join, "to_local_sent"), "1");
  EXPECT_FALSE(logged(join, "own_message"));
  EXPECT_TRUE(valuesOf(join, "unexpected").empty()) << join.err;
  EXPECT_EQ(valuesOf(join, "got"), (std::vector<std::string>{"20", "21"}));
  EXPECT_EQ(valuesOf(join, "to_gamma"), (std::vector<std::string>{"1", "0"}));
  EXPECT_EQ(valuesOf(join, "to_all"), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(valuesOf(join, "data"), (std::vector<std::string>{"to gamma", "to all"}));
  EXPECT_EQ(value(join, "bye_seen"), "1");

  // The joiner ended without StopNetGame: its players still left at once.
  EXPECT_EQ(valuesOf(host, "left_type"), (std::vector<std::string>{"101", "101"}));
  EXPECT_EQ(value(host, "left_first"), "1");
  EXPECT_EQ(value(host, "name_after_leave"), "<unknown>");
}

TEST(Session, GamesAreJoinedOnlyByTheirExactName) {
  auto runs = runGame({{"net_names_host"}, {"net_names_long_host", 100}, {"net_names_join", 400}});
  for (const RunResult& r : runs) ASSERT_TRUE(ended(r)) << r.err;
  const RunResult& join = runs[2];
  EXPECT_EQ(value(join, "exact_found"), "1");
  EXPECT_EQ(value(join, "lower_case"), "0");
  EXPECT_EQ(value(join, "miss_ms_ok"), "1") << "a join nobody answers gives up after about 2 s";
  EXPECT_EQ(value(join, "trailing_space"), "0");
  EXPECT_EQ(value(join, "long_short_by_one"), "0");
  EXPECT_EQ(value(join, "long_exact"), "1");
  EXPECT_EQ(value(join, "exact"), "1");
  EXPECT_EQ(value(runs[0], "stopped"), "1");
  EXPECT_EQ(value(runs[1], "stopped"), "1");
}

TEST(Session, PlayersAndGuaranteedMessagesKeepTheirOrderThroughAStop) {
  auto runs = runGame({{"net_players_host"}, {"net_players_join", 300}});
  const RunResult& host = runs[0];
  const RunResult& join = runs[1];
  ASSERT_TRUE(ended(host)) << host.err;
  ASSERT_TRUE(ended(join)) << join.err;
  EXPECT_EQ(value(join, "sent"), "2000");
  EXPECT_EQ(value(join, "deleted_is_unknown"), "1");
  EXPECT_EQ(value(join, "send_from_deleted"), "0");
  EXPECT_EQ(value(host, "joined"), "40");
  EXPECT_EQ(value(host, "names_ok"), "1");
  EXPECT_EQ(value(host, "deleted"), "20");
  EXPECT_EQ(value(host, "deleted_in_order"), "1");
  EXPECT_EQ(value(host, "messages"), "2000");
  EXPECT_EQ(value(host, "in_order"), "1");
  EXPECT_EQ(value(host, "late_leave_after_messages"), "1");
  EXPECT_EQ(value(host, "last_message"), "1") << "StopNetGame flushed what was sent before it";
  EXPECT_EQ(value(host, "rest_left"), "19");
}

namespace {

// The host leaves (or dies); the older joiner becomes host, exactly once; both
// keep talking, and a machine joining afterwards finds the new host.
void checkMigration(const std::vector<RunResult>& runs, int leaveLimitMs) {
  for (const RunResult& r : runs) ASSERT_FALSE(r.timedOut) << r.err;
  const RunResult& older = runs[1];
  const RunResult& younger = runs[2];
  const RunResult& late = runs[3];
  ASSERT_TRUE(ended(older)) << older.err;
  ASSERT_TRUE(ended(younger)) << younger.err;
  ASSERT_TRUE(ended(late)) << late.err;
  for (const RunResult* r : {&older, &younger}) {
    EXPECT_EQ(value(*r, "known"), "2");
    int left = number(*r, "left_ms");
    EXPECT_GE(left, 0);
    EXPECT_LE(left, leaveLimitMs);
    EXPECT_EQ(value(*r, "talk"), "1");
    EXPECT_EQ(value(*r, "late_joined"), "1");
  }
  EXPECT_EQ(value(older, "got102"), "1");
  EXPECT_LE(number(older, "host_ms"), 1000);
  EXPECT_EQ(value(younger, "got102"), "0");
  EXPECT_EQ(value(late, "join"), "1");
  EXPECT_EQ(value(late, "known"), "2");
}

}  // namespace

TEST(Session, TheHostLeavingHandsTheGameToTheOldestMachine) {
  auto runs = runGame({{"net_mig_host"}, {"net_mig_join", 300}, {"net_mig_join", 1300}, {"net_mig_late", 3500}});
  EXPECT_EQ(value(runs[0], "ready"), "2");
  checkMigration(runs, 1000);
}

TEST(Session, TheHostDyingHandsTheGameToTheOldestMachineWithinTenSeconds) {
  auto runs = runGame({{"net_kill_host"}, {"net_mig_join", 300}, {"net_mig_join", 1300}, {"net_mig_late", 9000}});
  EXPECT_EQ(value(runs[0], "ready"), "2");
  EXPECT_FALSE(logged(runs[0], "still alive"));
  checkMigration(runs, 10000);
}

TEST(Session, AStalledMachineIsKeptAndGetsEverything) {
  auto runs = runGame({{"net_stall_host", 0, 40000}, {"net_stall_join", 300, 40000}});
  const RunResult& host = runs[0];
  const RunResult& join = runs[1];
  ASSERT_TRUE(ended(host)) << host.err;
  ASSERT_TRUE(ended(join)) << join.err;
  EXPECT_EQ(value(host, "dropped"), "0");
  EXPECT_EQ(value(host, "sent"), "5000");
  EXPECT_EQ(value(join, "received"), "5000");
  EXPECT_EQ(value(join, "in_order"), "1");
  EXPECT_EQ(value(join, "host_left"), "0");
  EXPECT_EQ(value(host, "back"), "5000");
}

// Both games wait on the queue in tight loops (no Delay), so the games' own
// threads carry the traffic: the pings all come back in order, and a machine
// dying meanwhile is still noticed (101, not 200) within the limit.
TEST(Session, GamesSpinningOnTheQueueKeepTalkingAndNoticeADeadMachine) {
  auto runs = runGame({{"net_spin_host"}, {"net_spin_join", 300}});
  const RunResult& host = runs[0];
  const RunResult& join = runs[1];
  ASSERT_TRUE(ended(host)) << host.err;
  ASSERT_FALSE(join.timedOut) << join.err;
  EXPECT_FALSE(logged(join, "still alive"));
  EXPECT_EQ(value(host, "joined"), "100");
  EXPECT_EQ(value(join, "answered"), "500");
  EXPECT_EQ(value(host, "echoes"), "500");
  EXPECT_EQ(value(host, "policy"), "0");  // waiting changed how its thread is scheduled: changed back
  int left = number(host, "left_ms");
  EXPECT_GE(left, 0);
  EXPECT_LE(left, 10000);
  EXPECT_EQ(value(host, "lost"), "0");
}
