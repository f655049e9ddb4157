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
