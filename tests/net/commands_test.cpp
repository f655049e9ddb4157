// The multiplayer commands alone: bad ids, long names and addresses, the
// message cap, and the two runtime errors.
#include <gtest/gtest.h>

#include "tests/net/net_support.h"

using namespace nettest;

namespace {

RunResult runAlone(const std::string& module) {
  RunOptions options;
  options.env.push_back("KORRIN_TEST_NET_PORT=" + portBase());
  return krtest::runModule(module, options);
}

}  // namespace

TEST(NetCommands, BadInputGivesResultsNotErrors) {
  RunResult r = runAlone("net_bad_input");
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(value(r, "local_0"), "0");
  EXPECT_EQ(value(r, "local_minus1"), "0");
  EXPECT_EQ(value(r, "name_0"), "<all>");
  EXPECT_EQ(value(r, "name_unknown"), "<unknown>");
  EXPECT_EQ(value(r, "join_long_address"), "0");
  EXPECT_EQ(value(r, "join_bad_port"), "0");
  EXPECT_EQ(value(r, "join_port_text"), "0");
  EXPECT_EQ(value(r, "bad_addresses_fast"), "1");
  EXPECT_EQ(value(r, "join_nobody"), "0");
  EXPECT_EQ(value(r, "nobody_ms_ok"), "1");
  EXPECT_EQ(value(r, "join_lan_nobody"), "0");
  EXPECT_EQ(value(r, "host_long_name"), "2");
  EXPECT_EQ(value(r, "player_positive"), "1");
  EXPECT_EQ(value(r, "long_player_name"), "5000");
  EXPECT_EQ(value(r, "recv_empty"), "0");
  EXPECT_EQ(value(r, "type_after_empty"), "0");
  EXPECT_EQ(value(r, "from_after_empty"), "-1");
  EXPECT_EQ(value(r, "send_from_0"), "0");
  EXPECT_EQ(value(r, "send_from_minus1"), "0");
  EXPECT_EQ(value(r, "send_from_unknown"), "0");
  EXPECT_EQ(value(r, "send_to_unknown"), "0");
  EXPECT_EQ(value(r, "send_to_minus1"), "0");
  EXPECT_EQ(value(r, "send_to_all_alone"), "1");
  EXPECT_EQ(value(r, "send_at_cap"), "1") << "16 MiB is accepted";
  EXPECT_EQ(value(r, "send_over_cap"), "0") << "one byte more is refused";
  EXPECT_EQ(value(r, "still_local"), "1");
  EXPECT_EQ(value(r, "deleted_local"), "0");
  EXPECT_EQ(value(r, "send_from_deleted"), "0");
  EXPECT_EQ(value(r, "name_after_stop"), "0");
  EXPECT_EQ(value(r, "host_again"), "2");
}

TEST(NetCommands, CommandsNeedingAGameStopTheProgramWithoutOne) {
  RunResult r = runAlone("net_not_started");
  EXPECT_EQ(value(r, "name_ok"), "9");
  EXPECT_TRUE(r.errContains("debugError: Multiplayer game not started")) << r.err;
  EXPECT_FALSE(logged(r, "survived"));
  r = runAlone("net_recv_not_started");
  EXPECT_TRUE(r.errContains("debugError: Multiplayer game not started")) << r.err;
  EXPECT_FALSE(logged(r, "survived"));
}

TEST(NetCommands, StartingASecondGameStopsTheProgram) {
  RunResult r = runAlone("net_already_started");
  EXPECT_EQ(value(r, "host"), "2");
  EXPECT_TRUE(r.errContains("debugError: Multiplayer game already started")) << r.err;
  EXPECT_FALSE(logged(r, "survived"));
}
