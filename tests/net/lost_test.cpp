// A machine cut off from the network: host and joiner run in a network
// namespace of their own whose loopback interface is taken down mid-game.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "tests/net/net_support.h"

using namespace nettest;

namespace {

bool setLoopbackUp(bool up) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  bool ok = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (ok) {
    request.ifr_flags = static_cast<short>(up ? request.ifr_flags | IFF_UP : request.ifr_flags & ~IFF_UP);
    ok = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  }
  close(fd);
  return ok;
}

// Moves the calling thread (and the threads and processes it starts) into a
// fresh network namespace with only a loopback interface, up; back on exit.
class OwnNetwork {
 public:
  OwnNetwork() {
    original_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (original_ < 0) {
      why_ = std::string("cannot keep the current namespace: ") + std::strerror(errno);
    } else if (unshare(CLONE_NEWNET) != 0) {
      why_ = std::string("network namespaces refused here: ") + std::strerror(errno);
    } else {
      entered_ = true;
      if (!setLoopbackUp(true)) why_ = std::string("cannot bring the loopback interface up: ") + std::strerror(errno);
    }
  }
  ~OwnNetwork() {
    if (entered_) setns(original_, CLONE_NEWNET);
    if (original_ >= 0) close(original_);
  }
  bool ready() const { return why_.empty(); }
  const std::string& why() const { return why_; }

 private:
  int original_ = -1;
  bool entered_ = false;
  std::string why_;
};

}  // namespace

TEST(Session, AMachineCutOffLosesTheSessionOnceAndPlaysAgainWhenTheNetworkIsBack) {
  OwnNetwork network;
  if (!network.ready()) GTEST_SKIP() << network.why();
  bool cut = false, restored = false;
  std::thread cutter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    cut = setLoopbackUp(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(10000));
    restored = setLoopbackUp(true);
  });
  auto runs = runGame({{"net_lost_host", 0, 60000}, {"net_lost_join", 300, 60000}});
  cutter.join();
  ASSERT_TRUE(cut);
  ASSERT_TRUE(restored);
  const RunResult& host = runs[0];
  const RunResult& join = runs[1];
  ASSERT_TRUE(ended(host)) << host.err;
  ASSERT_TRUE(ended(join)) << join.err;
  EXPECT_EQ(value(host, "host"), "2");
  EXPECT_EQ(value(join, "join"), "1");
  for (const RunResult* r : {&host, &join}) {
    EXPECT_EQ(value(*r, "heard"), "1") << "the two talked before the cut";
    EXPECT_EQ(value(*r, "lost"), "1");
    EXPECT_EQ(value(*r, "notices_before_lost"), "0") << "a cut-off machine does not take the others for dead";
    int after = number(*r, "lost_after_ms");
    EXPECT_GE(after, 0);
    EXPECT_LE(after, 7000) << "200 comes within about 6 s of the last word";
    EXPECT_EQ(value(*r, "send_after"), "0");
    EXPECT_EQ(value(*r, "send_all_after"), "0");
    EXPECT_EQ(value(*r, "create_after"), "0");
    EXPECT_EQ(value(*r, "recv_after"), "0") << "200 once, then nothing until StopNetGame";
  }
  EXPECT_EQ(value(host, "rehost"), "2");
  EXPECT_EQ(value(host, "recreated"), "1");
  EXPECT_EQ(value(join, "rejoin"), "1");
  EXPECT_EQ(value(host, "back"), "1");
  EXPECT_EQ(value(host, "back_sent"), "1");
  EXPECT_EQ(value(join, "answer"), "32");
}
