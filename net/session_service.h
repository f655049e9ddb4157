// The session service: games, machines and players over ENet. It is the only
// code that talks to ENet. Every machine of a game keeps one ENet host on a UDP
// port of the game range and a connection to every other machine (a full mesh),
// so that any machine can take over as host when the host goes.
//
// Each machine has a join number (1 for the machine that created the game,
// then 2, 3, ... in order of joining, never reused). The host is always the
// machine with the lowest join number still present. A player id is its
// owner's join number times 2^20 plus the owner's own running count, so ids
// are unique within a game without asking anyone, never 0 and never negative,
// and the owner of any id is plain to check.
//
// Commands run on the main thread; a network thread of the service answers
// keep-alives and queues what arrives while the game computes or waits. A game
// waiting on the queue in a tight loop reads the socket itself instead.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

struct _ENetHost;
struct _ENetPeer;
struct _ENetPacket;

namespace kr::net {

// The game port and the range above it: a machine binds the first free one, so
// several games can run on one machine, and joins probe the whole range.
constexpr std::uint16_t kGamePort = 28760;
constexpr int kPortRange = 8;
// Largest message text a machine accepts or sends.
constexpr std::size_t kMaxMessageBytes = 16u << 20;
// What the queue of arrived events may hold before new arrivals are dropped
// (a game that never reads must not make the process grow for ever).
constexpr std::size_t kMaxQueuedBytes = 64u << 20;
constexpr std::size_t kMaxQueuedEvents = 1u << 20;
// Players one machine may announce.
constexpr std::size_t kMaxPlayersPerMachine = 10000;

// Base of the port range: kGamePort, or KORRIN_TEST_NET_PORT when set (tests run
// in parallel on one machine; games never set it).
std::uint16_t gamePortBase();

struct NetEvent {
  enum Kind { PlayerJoined, PlayerLeft, Message, BecameHost, SessionLost };
  Kind kind;
  int from = 0;
  int to = 0;
  int type = 0;          // messages: the header's type byte read as signed
  std::string data;      // messages: the text; PlayerJoined: the player's name
};

struct FoundGame {
  std::string name;      // shortened to 255 bytes for listing
  std::uint32_t ip = 0;  // network byte order, as ENet keeps it
  std::uint16_t port = 0;
};

class SessionService {
 public:
  ~SessionService();

  // Creates a game; null when no port of the range is free.
  static std::unique_ptr<SessionService> host(const std::string& gameName);
  // Joins the game of that exact name found at the address ("" searches the
  // LAN and this machine; "name:port" probes only that port). pump runs
  // between waits. Null when nobody answers within about 2 s.
  static std::unique_ptr<SessionService> join(const std::string& gameName, const std::string& address,
                                              const std::function<void()>& pump);
  // Joins a game found by a search (the dialog).
  static std::unique_ptr<SessionService> join(const FoundGame& game, const std::function<void()>& pump);
  // Games answering on the LAN and this machine within the wait; false when
  // no search could be sent at all.
  static bool search(int waitMs, std::vector<FoundGame>* found);

  // Leaves: every machine is told at once, guaranteed traffic is flushed
  // (bounded to about 2 s), then the connections close.
  void close();

  bool isHost();
  bool lost() const { return lost_.load(); }
  std::uint32_t joinNumber() const { return mySeq_; }

  int createPlayer(const std::string& name);  // 0 on failure
  void destroyPlayer(int id);                 // local players only
  // to: 0 for all, or a known player. False when the send is refused.
  bool send(int from, int to, int type, const char* data, std::size_t length, bool reliable);

  // Number of queued events: one atomic read, no lock and no system call.
  std::uint32_t queued() const { return queued_.load(std::memory_order_acquire); }
  bool takeEvent(NetEvent& out);
  // For a game polling the empty queue in a tight loop: reads the socket on
  // its own thread (unless the network thread holds the lock), so arrivals do
  // not wait for the network thread to get a processor, and sleeps (at most
  // 1 ms, as a batch thread) when traffic is due. The network thread stands
  // back meanwhile.
  void receiveHere();

  // Test and benchmark hook: what the other machines of the game are.
  std::size_t memberCount();

 private:
  struct PeerState;
  struct Player {
    std::uint32_t owner;
    std::string name;
  };
  SessionService() = default;

  bool openHost(bool broadcastSearch);
  void startThread();
  void stopThread();
  void networkLoop();
  bool serviceOnce(int timeoutMs);  // lock held by caller; arrivals collect in arrived_
  bool serviceAndPublish(int timeoutMs);
  void handleConnect(_ENetPeer* peer, std::uint32_t data);
  void handleDisconnect(_ENetPeer* peer);
  void handlePacket(_ENetPeer* peer, const std::uint8_t* bytes, std::size_t length, bool reliableChannel);
  void handleHello(_ENetPeer* peer, const std::uint8_t* bytes, std::size_t length);
  void handleMeet(_ENetPeer* peer, const std::uint8_t* bytes, std::size_t length);
  void handleWelcome(_ENetPeer* peer, const std::uint8_t* bytes, std::size_t length);
  void handlePlayerNew(PeerState& from, const std::uint8_t* bytes, std::size_t length);
  void handlePlayerGone(PeerState& from, const std::uint8_t* bytes, std::size_t length);
  void handleMessage(PeerState& from, const std::uint8_t* bytes, std::size_t length);
  void admitMember(_ENetPeer* peer, std::uint32_t seq);
  void memberGone(_ENetPeer* peer);
  void updateHostRole();
  void sendLocalPlayers(_ENetPeer* peer);
  void sendToMembers(_ENetPacket* packet, std::uint8_t channel);
  void dropStrangers();
  void push(NetEvent&& event);
  void publishArrived();  // lock held: arrived_ into the queue, in order
  void flushReliable(int boundMs);
  bool trafficDue() const;  // lock held
  bool serviceHere();
  static int interceptThunk(_ENetHost* host, void* event);
  int intercept(const std::uint8_t* bytes, std::size_t length);
  bool waitJoined(const std::function<void()>& pump, std::uint32_t deadline);

  _ENetHost* host_ = nullptr;
  std::string gameName_;
  std::uint32_t mySeq_ = 0;
  std::uint32_t nextSeq_ = 2;
  std::uint32_t nextLocal_ = 1;
  bool isHost_ = false;
  std::atomic<bool> lost_{false};
  std::uint32_t failingSince_ = 0;  // when the socket began to fail every service

  // Joining: the state of the hand-shake with the host.
  enum class JoinState { None, Searching, Connecting, Welcomed, Refused };
  JoinState joinState_ = JoinState::None;
  std::uint32_t searchNonce_ = 0;
  std::uint64_t searchHash_ = 0;
  std::uint32_t searchLength_ = 0;
  bool foundHost_ = false;
  std::uint32_t foundIp_ = 0;
  std::uint16_t foundPort_ = 0;
  std::vector<FoundGame>* listing_ = nullptr;
  std::size_t pendingMeets_ = 0;

  std::map<std::uint32_t, _ENetPeer*> members_;          // join number -> connection
  std::unordered_map<int, Player> players_;              // every live player
  std::vector<int> localPlayers_;                        // in creation order
  std::map<std::uint32_t, std::vector<int>> remoteByOwner_;  // in creation order

  std::mutex lock_;  // the ENet host and everything above
  std::vector<NetEvent> arrived_;  // handled, not yet in the queue
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint32_t> gameReceivedAt_{0};
  // Game thread only: its own reading of the socket.
  std::uint32_t idleWaits_ = 0;
  std::uint32_t lastHereMs_ = 0;
  bool trafficDue_ = false;

  std::mutex queueLock_;
  std::deque<NetEvent> queue_;
  std::size_t queuedBytes_ = 0;
  std::atomic<std::uint32_t> queued_{0};
};

}  // namespace kr::net
