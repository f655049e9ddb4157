// A hostile machine against a running game: raw datagrams of garbage,
// truncated and oversized searches, a connection that never introduces itself,
// and a member that sends truncated, spoofed and garbage packets and floods
// the game with players. The game must keep running, deliver nothing forged,
// and still serve an honest joiner afterwards.
#include <arpa/inet.h>
#include <enet/enet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <random>

#include "tests/net/net_support.h"

using namespace nettest;

namespace {

constexpr std::uint32_t kConnectMagic = 0x4B524E31;

void putU32(std::string* s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s->push_back(static_cast<char>(v >> (8 * i)));
}

std::uint32_t getU32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

class Fuzzer {
 public:
  explicit Fuzzer(int port) : rng_(12345) {
    enet_initialize();
    host_ = enet_host_create(nullptr, 4, 2, 0, 0);
    enet_address_set_host_ip(&game_, "127.0.0.1");
    game_.port = static_cast<enet_uint16>(port);
  }
  ~Fuzzer() {
    if (host_) enet_host_destroy(host_);
    enet_deinitialize();
  }

  // Services the connection for a while; records what happens.
  void service(int ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      ENetEvent e;
      while (enet_host_service(host_, &e, 5) > 0) {
        if (e.type == ENET_EVENT_TYPE_CONNECT) connected_.push_back(e.peer);
        if (e.type == ENET_EVENT_TYPE_DISCONNECT) disconnected_.push_back(e.peer);
        if (e.type == ENET_EVENT_TYPE_RECEIVE) {
          if (e.packet->dataLength >= 5 && e.packet->data[0] == 2) {
            if (e.peer == member_) seq_ = getU32(e.packet->data + 1);
            if (e.peer == bigSender_) bigSeq_ = getU32(e.packet->data + 1);
          }
          enet_packet_destroy(e.packet);
        }
      }
    }
  }

  ENetPeer* joinAsMember() {
    ENetPeer* peer = enet_host_connect(host_, &game_, 2, kConnectMagic);
    for (int i = 0; i < 150 && peer->state != ENET_PEER_STATE_CONNECTED; ++i) service(100);
    std::string hello(1, 1);
    putU32(&hello, 1);
    hello += "Kr Fuzz";
    send(peer, hello, 0);
    return peer;
  }

  bool join() {
    member_ = joinAsMember();
    for (int i = 0; i < 150 && !seq_; ++i) service(100);
    if (!seq_) std::fprintf(stderr, "member connection state %d\n", static_cast<int>(member_->state));
    return seq_ != 0;
  }

  // A second member sends one message larger than any game accepts.
  bool sendOversized() {
    bigSender_ = joinAsMember();
    for (int i = 0; i < 150 && !bigSeq_; ++i) service(100);
    if (!bigSeq_) return false;
    std::uint32_t id = bigSeq_ << 20 | 1;
    send(bigSender_, playerNew(id, "big"), 0);
    send(bigSender_, message(id, 0, 68, std::string((16u << 20) + 1, 'b')), 0);
    service(1500);
    return true;
  }

  void openStranger() {
    stranger_ = enet_host_connect(host_, &game_, 2, kConnectMagic);
    wrongMagic_ = enet_host_connect(host_, &game_, 2, 0x12345678);
  }

  void send(ENetPeer* peer, const std::string& bytes, int channel) {
    ENetPacket* p = enet_packet_create(bytes.data(), bytes.size(),
                                       channel == 0 ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
    enet_peer_send(peer, static_cast<enet_uint8>(channel), p);
  }

  std::string message(std::uint32_t from, std::uint32_t to, int type, const std::string& text) {
    std::string m(1, 7);
    putU32(&m, from);
    putU32(&m, to);
    m.push_back(static_cast<char>(type));
    return m + text;
  }

  std::string playerNew(std::uint32_t id, const std::string& name) {
    std::string m(1, 5);
    putU32(&m, id);
    return m + name;
  }

  void attack() {
    std::uint32_t mine = seq_ << 20 | 1;
    send(member_, playerNew(mine, "fuzzer"), 0);
    send(member_, message(mine, 0, 67, "a real message"), 0);
    send(member_, message(mine, 0, 67, "a real unguaranteed message"), 1);
    // Speaking as the host's player, as an unknown player of this machine, and
    // as a player claimed for another machine.
    send(member_, message(1u << 20 | 1, 0, 66, "spoofed host"), 0);
    send(member_, message(seq_ << 20 | 999, 0, 66, "never announced"), 0);
    send(member_, playerNew(1u << 20 | 50, "not mine"), 0);
    send(member_, message(1u << 20 | 50, 0, 66, "not mine"), 1);
    send(member_, playerNew(mine, "duplicate"), 0);
    send(member_, message(mine, 12345, 66, "to nobody"), 0);
    // Shorter than the header, on both channels.
    std::string full = message(mine, 0, 66, "");
    for (std::size_t n = 1; n < full.size(); ++n) {
      send(member_, full.substr(0, n), 0);
      send(member_, full.substr(0, n), 1);
    }
    // Garbage of every kind but an orderly leave.
    for (int i = 0; i < 2000; ++i) {
      std::string g(rng_() % 300 + 1, '\0');
      for (char& c : g) c = static_cast<char>(rng_());
      if (g[0] >= 5 && g[0] <= 8) g[0] = 99;
      send(member_, g, static_cast<int>(rng_() % 2));
      if (i % 200 == 0) service(10);
    }
    // Thousands of players.
    for (std::uint32_t i = 0; i < 12000; ++i) {
      send(member_, playerNew(seq_ << 20 | (i + 2), "crowd"), 0);
      if (i % 500 == 0) service(10);
    }
    send(member_, message(mine, 0, 67, "still a member"), 0);
    service(500);
  }

  bool strangerDropped() const { return std::find(disconnected_.begin(), disconnected_.end(), stranger_) != disconnected_.end(); }
  bool wrongMagicDropped() const {
    return std::find(disconnected_.begin(), disconnected_.end(), wrongMagic_) != disconnected_.end();
  }
  bool memberDropped() const { return std::find(disconnected_.begin(), disconnected_.end(), member_) != disconnected_.end(); }

 private:
  ENetHost* host_ = nullptr;
  ENetAddress game_;
  ENetPeer* member_ = nullptr;
  ENetPeer* stranger_ = nullptr;
  ENetPeer* wrongMagic_ = nullptr;
  ENetPeer* bigSender_ = nullptr;
  std::uint32_t seq_ = 0;
  std::uint32_t bigSeq_ = 0;
  std::vector<ENetPeer*> connected_, disconnected_;
  std::mt19937 rng_;
};

// Raw datagrams at the game port: garbage, truncated and oversized searches.
struct RawOutcome {
  int worst = -1000;     // the largest reply seen relative to its request (bytes over)
  bool listed = false;  // a proper listing request was answered
  bool up = false;      // the game answered at all
};

RawOutcome rawDatagrams(int port) {
  int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval tv{0, 20000};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  std::mt19937 rng(777);
  RawOutcome outcome;
  // The game is up once it answers a listing request.
  std::string listing = std::string("KRNQ\x01\x02", 6) + std::string(294, '\0');
  for (int i = 0; i < 300 && !outcome.up; ++i) {
    sendto(s, listing.data(), listing.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    char reply[512];
    outcome.up = recv(s, reply, sizeof reply, 0) > 0;
    if (!outcome.up) usleep(80000);
  }
  auto exchange = [&](const std::string& d) {
    sendto(s, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    char reply[2048];
    ssize_t n = recv(s, reply, sizeof reply, 0);
    if (n >= 0) outcome.worst = std::max(outcome.worst, static_cast<int>(n) - static_cast<int>(d.size()));
    return n;
  };
  for (int i = 0; i < 300; ++i) {
    std::string g(rng() % 1500, '\0');
    for (char& c : g) c = static_cast<char>(rng());
    sendto(s, g.data(), g.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  std::string big(60000, 'x');
  sendto(s, big.data(), big.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  for (std::size_t n = 0; n <= 40; ++n) exchange(std::string("KRNQ\x01\x02", 6) + std::string(n, '\0'));
  std::string find = std::string("KRNQ\x01\x01", 6) + std::string(26, '\0');
  for (std::size_t n = 0; n <= find.size(); ++n) exchange(find.substr(0, n));
  exchange(std::string("KRNA", 4) + std::string(20, '\0'));
  outcome.listed = exchange(std::string("KRNQ\x01\x02", 6) + std::string(294, '\0')) > 0;
  close(s);
  return outcome;
}

}  // namespace

TEST(NetFuzz, AHostilePeerNeitherBreaksNorFoolsARunningGame) {
  std::string base = portBase();
  int port = std::atoi(base.c_str());
  auto host = std::async(std::launch::async, [base] {
    RunOptions options;
    options.env.push_back("KORRIN_TEST_NET_PORT=" + base);
    options.timeoutMs = 150000;
    return krtest::runModule("net_fuzz_host", options);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(400));

  RawOutcome raw = rawDatagrams(port);
  EXPECT_TRUE(raw.up) << "the game never answered";
  Fuzzer fuzzer(port);
  fuzzer.openStranger();
  bool joined = fuzzer.join();
  EXPECT_TRUE(joined);
  if (joined) {
    fuzzer.attack();
    EXPECT_TRUE(fuzzer.sendOversized());
  }
  fuzzer.service(6000);  // the silent stranger is dropped meanwhile

  RunOptions options;
  options.env.push_back("KORRIN_TEST_NET_PORT=" + base);
  options.timeoutMs = 60000;
  RunResult honest = krtest::runModule("net_fuzz_join", options);
  RunResult game = host.get();

  ASSERT_TRUE(ended(game)) << game.err;
  ASSERT_TRUE(joined) << game.err;
  ASSERT_TRUE(ended(honest)) << honest.err;
  EXPECT_TRUE(raw.listed);
  EXPECT_LE(raw.worst, 0) << "no answer is larger than its request";
  EXPECT_TRUE(fuzzer.wrongMagicDropped());
  EXPECT_TRUE(fuzzer.strangerDropped()) << "a connection that never says hello is dropped";
  EXPECT_FALSE(fuzzer.memberDropped());
  EXPECT_EQ(value(game, "done"), "1");
  EXPECT_EQ(value(game, "honest"), "200");
  EXPECT_EQ(value(game, "spoofed"), "0");
  EXPECT_EQ(value(game, "control"), "3") << "the fuzzer's own honest messages do arrive";
  EXPECT_EQ(value(game, "other"), "0") << "nothing else, and not the oversized message";
  // The fuzzer's player and up to 10,000 of its crowd, the big sender's player
  // and the honest player.
  EXPECT_EQ(value(game, "joined"), "10002");
  EXPECT_LT(number(game, "max_gap_ms"), 1000) << "the game never stalled";
}
