// The session service over ENet. Channel 0 is reliable and ordered and carries
// the hand-shakes, the player notices and guaranteed messages, so a player's
// arrival is always seen before its messages and its departure after them;
// channel 1 carries unguaranteed messages unsequenced.
//
// Searches are plain UDP datagrams on the same socket, taken off before ENet
// sees them. A reply is never larger than the request that caused it, so the
// port cannot be used to amplify traffic towards a forged address.
#include "net/session_service.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>

#include "net/wire.h"

namespace kr::net {

namespace {

constexpr std::uint32_t kProtocolVersion = 1;
constexpr std::uint32_t kConnectMagic = 0x4B524E31;  // every connection of a game carries it
constexpr std::uint32_t kMaxJoinNumber = 2047;       // ids are join number * 2^20 + count
constexpr std::uint32_t kMaxLocalCount = (1u << 20) - 1;
constexpr std::size_t kPeerLimit = 64;
constexpr std::uint32_t kStrangerMs = 5000;  // a connection must introduce itself within this
constexpr int kSearchMs = 2000;
constexpr int kHandshakeMs = 2000;
constexpr int kFlushMs = 2000;
constexpr std::uint32_t kSocketFailureMs = 5000;
constexpr std::uint32_t kGameReceivingMs = 4;  // the game read the socket this recently
constexpr long kAwaitTrafficUs = 1000;         // longest sleep of a game waiting on the queue
constexpr enet_uint32 kRecentTrafficMs = 20;    // a peer that spoke this recently is likely to again

enum Kind : std::uint8_t {
  kHello = 1,    // joiner to host: version, game name (empty with kHelloListed)
  kWelcome = 2,  // host to joiner: its join number, the host's, the other machines, the name
  kRefuse = 3,
  kMeet = 4,     // joiner to every other machine: version, join number, game name
  kPlayerNew = 5,
  kPlayerGone = 6,
  kMessage = 7,  // from, to, type byte, text
  kBye = 8,      // an orderly leave: the machine's players are gone now
  kHelloListed = 9,
};

constexpr char kQueryMagic[4] = {'K', 'R', 'N', 'Q'};
constexpr char kAnswerMagic[4] = {'K', 'R', 'N', 'A'};
constexpr std::uint8_t kQueryFind = 1;
constexpr std::uint8_t kQueryList = 2;
constexpr std::size_t kFindQuerySize = 32;
constexpr std::size_t kListQuerySize = 300;
constexpr std::size_t kListedNameMax = 255;

std::uint32_t nowMs() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool before(std::uint32_t deadline) { return static_cast<std::int32_t>(deadline - nowMs()) > 0; }

std::uint64_t nameHash(const std::string& name) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::uint32_t randomNonce() {
  static std::mt19937 generator{std::random_device{}()};
  return static_cast<std::uint32_t>(generator());
}

// ENet has no slot for its owner: the intercept finds the service here.
std::mutex gOwnersLock;
std::map<ENetHost*, SessionService*> gOwners;

struct Target {
  ENetAddress address;
};

// Where a join or search sends its queries. False when the address is unusable.
bool searchTargets(const std::string& address, std::vector<ENetAddress>* targets) {
  std::string hostPart = address;
  int onlyPort = 0;
  if (address.find('\0') != std::string::npos) return false;
  std::size_t colon = address.rfind(':');
  if (colon != std::string::npos) {
    std::string digits = address.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
    onlyPort = std::atoi(digits.c_str());
    if (onlyPort < 1 || onlyPort > 65535) return false;
    hostPart = address.substr(0, colon);
  }
  std::vector<enet_uint32> hosts;
  if (hostPart.empty()) {
    hosts.push_back(ENET_HOST_BROADCAST);
    ENetAddress local;
    enet_address_set_host_ip(&local, "127.0.0.1");
    hosts.push_back(local.host);
  } else {
    ENetAddress resolved;
    if (enet_address_set_host(&resolved, hostPart.c_str()) != 0) return false;
    hosts.push_back(resolved.host);
  }
  for (enet_uint32 h : hosts) {
    if (onlyPort) {
      targets->push_back(ENetAddress{h, static_cast<enet_uint16>(onlyPort)});
    } else {
      for (int i = 0; i < kPortRange; ++i)
        targets->push_back(ENetAddress{h, static_cast<enet_uint16>(gamePortBase() + i)});
    }
  }
  return true;
}

void sendDatagram(ENetHost* host, const ENetAddress& to, const void* bytes, std::size_t length) {
  ENetBuffer buffer;
  buffer.data = const_cast<void*>(bytes);
  buffer.dataLength = length;
  enet_socket_send(host->socket, &to, &buffer, 1);
}

ENetPacket* newPacket(std::size_t length, bool reliable) {
  return enet_packet_create(nullptr, length, reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
}

void sendBytes(ENetPeer* peer, const std::string& bytes) {
  ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
  if (packet && enet_peer_send(peer, 0, packet) != 0) enet_packet_destroy(packet);
}

// True when no interface this machine could reach the address through is up:
// the interface that owns it (the loopback one for 127/8, a local network's
// for an address inside it), or any non-loopback one for an address beyond a
// gateway. Addresses stay on an interface that goes down, so they still tell
// which one it was.
bool cutOffFrom(std::uint32_t hostNetOrder) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  std::uint32_t target = ntohl(hostNetOrder);
  bool loopbackTarget = target >> 24 == 127;
  bool owned = false, ownerUp = false, anyUp = false;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    bool up = (i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING);
    bool loopback = i->ifa_flags & IFF_LOOPBACK;
    std::uint32_t address = ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
    std::uint32_t mask =
        i->ifa_netmask ? ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr) : 0xFFFFFFFFu;
    bool owner = loopbackTarget ? loopback : !loopback && (address & mask) == (target & mask);
    if (owner) {
      owned = true;
      ownerUp |= up;
    }
    if (!loopback && up) anyUp = true;
  }
  freeifaddrs(list);
  return owned ? !ownerUp : !anyUp;
}

// While the game's thread sleeps for traffic it runs as a batch thread, which
// the scheduler does not let preempt the running thread when it wakes. The
// first thing to wake it is usually the other end's acknowledgement, sent the
// moment our message arrived there and just before the answer: on a shared
// processor, preempting then only held up the answer, a switch there and back
// per round trip (a third of the round trips' time). Only a thread of the
// normal policy is changed, and it is changed back before the game goes on.
class PatientWait {
 public:
  explicit PatientWait(bool waiting) {
    thread_local const bool normal = sched_getscheduler(0) == SCHED_OTHER;
    sched_param none{};
    changed_ = waiting && normal && sched_setscheduler(0, SCHED_BATCH, &none) == 0;
  }
  ~PatientWait() {
    sched_param none{};
    if (changed_) sched_setscheduler(0, SCHED_OTHER, &none);
  }
  PatientWait(const PatientWait&) = delete;
  PatientWait& operator=(const PatientWait&) = delete;

 private:
  bool changed_ = false;
};

}  // namespace

std::uint16_t gamePortBase() {
  const char* text = std::getenv("KORRIN_TEST_NET_PORT");
  if (text && *text) {
    long port = std::strtol(text, nullptr, 10);
    if (port >= 1024 && port <= 65535 - kPortRange) return static_cast<std::uint16_t>(port);
  }
  return kGamePort;
}

// What the service knows of one ENet connection (peer->data).
struct SessionService::PeerState {
  std::uint32_t seq = 0;  // join number, once known
  bool member = false;    // introduced and part of the game
  bool outgoing = false;  // this machine connected to it
  bool toHost = false;    // the connection of a join, to the host
  bool meetPending = false;  // a machine named in the welcome, not connected yet
  std::uint32_t since = 0;
};

SessionService::~SessionService() {
  if (host_) close();
}

bool SessionService::openHost(bool inRange) {
  ENetAddress address{ENET_HOST_ANY, 0};
  int tries = inRange ? kPortRange : 1;
  for (int i = 0; i < tries && !host_; ++i) {
    address.port = inRange ? static_cast<enet_uint16>(gamePortBase() + i) : 0;
    host_ = enet_host_create(&address, kPeerLimit, 2, 0, 0);
  }
  if (!host_) return false;
  // ENet refuses anything larger before it allocates: the cap plus our header.
  host_->maximumPacketSize = kMaxMessageBytes + 1 + kMessageHeaderSize;
  host_->intercept = reinterpret_cast<ENetInterceptCallback>(&SessionService::interceptThunk);
  std::lock_guard<std::mutex> g(gOwnersLock);
  gOwners[host_] = this;
  return true;
}

std::unique_ptr<SessionService> SessionService::host(const std::string& gameName) {
  std::unique_ptr<SessionService> s(new SessionService);
  s->gameName_ = gameName;
  if (!s->openHost(true)) return nullptr;
  s->mySeq_ = 1;
  s->nextSeq_ = 2;
  s->isHost_ = true;
  s->startThread();
  return s;
}

std::unique_ptr<SessionService> SessionService::join(const std::string& gameName, const std::string& address,
                                                     const std::function<void()>& pump) {
  std::vector<ENetAddress> targets;
  if (!searchTargets(address, &targets)) return nullptr;
  std::unique_ptr<SessionService> s(new SessionService);
  s->gameName_ = gameName;
  // A joiner binds a port of the range too: it may become the host later.
  if (!s->openHost(true) && !s->openHost(false)) return nullptr;

  s->joinState_ = JoinState::Searching;
  s->searchNonce_ = randomNonce();
  s->searchHash_ = nameHash(gameName);
  s->searchLength_ = static_cast<std::uint32_t>(gameName.size());
  std::uint8_t query[kFindQuerySize] = {};
  std::memcpy(query, kQueryMagic, 4);
  query[4] = kProtocolVersion;
  query[5] = kQueryFind;
  putU32(query + 8, s->searchNonce_);
  putU32(query + 12, s->searchLength_);
  putU64(query + 16, s->searchHash_);

  std::uint32_t deadline = nowMs() + kSearchMs;
  std::uint32_t nextQuery = nowMs();
  while (!s->foundHost_ && before(deadline)) {
    if (!before(nextQuery)) {
      for (const ENetAddress& t : targets) sendDatagram(s->host_, t, query, sizeof query);
      nextQuery = nowMs() + 250;
    }
    {
      std::lock_guard<std::mutex> g(s->lock_);
      s->serviceAndPublish(10);
    }
    if (pump) pump();
  }
  if (!s->foundHost_) return nullptr;
  return s->waitJoined(pump, nowMs() + kHandshakeMs) ? std::move(s) : nullptr;
}

std::unique_ptr<SessionService> SessionService::join(const FoundGame& game, const std::function<void()>& pump) {
  std::unique_ptr<SessionService> s(new SessionService);
  s->gameName_ = game.name;
  if (!s->openHost(true) && !s->openHost(false)) return nullptr;
  s->foundHost_ = true;
  s->foundIp_ = game.ip;
  s->foundPort_ = game.port;
  s->joinState_ = JoinState::Searching;
  s->listing_ = nullptr;
  s->searchLength_ = UINT32_MAX;  // marks a join by listing: the host tells the name
  return s->waitJoined(pump, nowMs() + kHandshakeMs) ? std::move(s) : nullptr;
}

// Connects to the host that answered, says hello and waits for the welcome and
// for the connections to the other machines.
bool SessionService::waitJoined(const std::function<void()>& pump, std::uint32_t deadline) {
  {
    std::lock_guard<std::mutex> g(lock_);
    ENetAddress address{foundIp_, foundPort_};
    ENetPeer* peer = enet_host_connect(host_, &address, 2, kConnectMagic);
    if (!peer) return false;
    auto* state = new PeerState;
    state->outgoing = true;
    state->toHost = true;
    state->since = nowMs();
    peer->data = state;
    joinState_ = JoinState::Connecting;
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> g(lock_);
      serviceAndPublish(5);
      if (joinState_ == JoinState::Refused) return false;
      if (joinState_ == JoinState::Welcomed && pendingMeets_ == 0) break;
      if (!before(deadline)) {
        if (joinState_ != JoinState::Welcomed) return false;
        break;  // the host let us in; slow machines are met by the network thread
      }
    }
    if (pump) pump();
  }
  startThread();
  return true;
}

bool SessionService::search(int waitMs, std::vector<FoundGame>* found) {
  std::vector<ENetAddress> targets;
  if (!searchTargets("", &targets)) return false;
  SessionService s;
  if (!s.openHost(false)) return false;
  s.listing_ = found;
  s.searchNonce_ = randomNonce();
  s.joinState_ = JoinState::Searching;
  std::uint8_t query[kListQuerySize] = {};
  std::memcpy(query, kQueryMagic, 4);
  query[4] = kProtocolVersion;
  query[5] = kQueryList;
  putU32(query + 8, s.searchNonce_);
  for (const ENetAddress& t : targets) sendDatagram(s.host_, t, query, sizeof query);
  std::uint32_t deadline = nowMs() + static_cast<std::uint32_t>(waitMs);
  while (before(deadline)) {
    {
      std::lock_guard<std::mutex> g(s.lock_);
      s.serviceAndPublish(10);
    }
  }
  s.listing_ = nullptr;
  s.close();
  return true;
}

void SessionService::startThread() {
  stopping_ = false;
  thread_ = std::thread([this] { networkLoop(); });
}

void SessionService::stopThread() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void SessionService::networkLoop() {
  std::uint32_t nextSweep = nowMs() + 1000;
  while (!stopping_.load(std::memory_order_relaxed)) {
    // While the game waits on the queue it reads the socket itself; waking
    // here for every datagram would only take a processor from it.
    std::uint32_t sinceGame = nowMs() - gameReceivedAt_.load(std::memory_order_relaxed);
    bool gameReading = sinceGame < kGameReceivingMs;
    if (!gameReading || !before(nextSweep)) {
      std::lock_guard<std::mutex> g(lock_);
      if (!gameReading) serviceOnce(0);
      if (!before(nextSweep)) {
        dropStrangers();
        nextSweep = nowMs() + 1000;
      }
      // Published last, under the lock, so arrivals keep their order whichever
      // thread read them; a game answering at once waits only for this.
      publishArrived();
    }
    if (gameReading) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kGameReceivingMs - sinceGame));
    } else if (lost_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a failed socket answers at once
    } else {
      enet_uint32 condition = ENET_SOCKET_WAIT_RECEIVE | ENET_SOCKET_WAIT_INTERRUPT;
      enet_socket_wait(host_->socket, &condition, 5);
    }
  }
}

bool SessionService::serviceOnce(int timeoutMs) {
  ENetEvent event;
  int result = enet_host_service(host_, &event, static_cast<enet_uint32>(timeoutMs));
  // One service reads every datagram waiting (acknowledging them); the rest of
  // its events are dispatched without touching the socket again. Bounded, so a
  // flood cannot keep the lock from the game for long.
  bool handledAny = result > 0;
  for (int handled = 1; result > 0; ++handled) {
    switch (event.type) {
      case ENET_EVENT_TYPE_CONNECT:
        handleConnect(event.peer, event.data);
        break;
      case ENET_EVENT_TYPE_DISCONNECT:
        handleDisconnect(event.peer);
        break;
      case ENET_EVENT_TYPE_RECEIVE:
        handlePacket(event.peer, event.packet->data, event.packet->dataLength, event.channelID == 0);
        enet_packet_destroy(event.packet);
        break;
      default:
        break;
    }
    if (handled == 2000) break;
    result = enet_host_check_events(host_, &event);
  }
  if (handledAny) enet_host_flush(host_);  // answers queued by the handlers
  // One bad datagram (an oversized one is cut short and refused) fails a single
  // service; only a socket that fails every time for a while is a lost session.
  if (result >= 0) {
    failingSince_ = 0;
  } else if (failingSince_ == 0) {
    failingSince_ = nowMs() | 1;
  } else if (nowMs() - failingSince_ > kSocketFailureMs && mySeq_ != 0 && !lost_.exchange(true)) {
    push(NetEvent{NetEvent::SessionLost, -1, 0, 0, {}});
  }
  return result >= 0;
}

// A service pass that publishes what it produced (lock held).
bool SessionService::serviceAndPublish(int timeoutMs) {
  bool ok = serviceOnce(timeoutMs);
  publishArrived();
  return ok;
}

void SessionService::handleConnect(ENetPeer* peer, std::uint32_t data) {
  enet_peer_timeout(peer, 32, 3000, 6000);
  auto* state = static_cast<PeerState*>(peer->data);
  if (!state) {
    if (data != kConnectMagic) {
      enet_peer_disconnect_now(peer, 0);
      return;
    }
    state = new PeerState;
    state->since = nowMs();
    peer->data = state;
    return;
  }
  if (state->toHost) {
    std::string hello;
    if (searchLength_ == UINT32_MAX) {
      hello.push_back(static_cast<char>(kHelloListed));
      appendU32(&hello, kProtocolVersion);
    } else {
      hello.push_back(static_cast<char>(kHello));
      appendU32(&hello, kProtocolVersion);
      hello += gameName_;
    }
    sendBytes(peer, hello);
    return;
  }
  // A machine named in the welcome: introduce this one, then it is a member.
  std::string meet;
  meet.push_back(static_cast<char>(kMeet));
  appendU32(&meet, kProtocolVersion);
  appendU32(&meet, mySeq_);
  meet += gameName_;
  sendBytes(peer, meet);
  state->meetPending = false;
  if (pendingMeets_ > 0) --pendingMeets_;
  if (members_.count(state->seq)) {
    enet_peer_disconnect_later(peer, 0);
    return;
  }
  admitMember(peer, state->seq);
  enet_host_flush(host_);
}

void SessionService::handleDisconnect(ENetPeer* peer) {
  auto* state = static_cast<PeerState*>(peer->data);
  if (!state) return;
  // A member that went silent without a word: dead, or this machine cut off.
  // Only in the second case is the session lost (and nobody else reported).
  if (state->member && !lost_ && mySeq_ != 0 && cutOffFrom(peer->address.host)) {
    lost_ = true;
    push(NetEvent{NetEvent::SessionLost, -1, 0, 0, {}});
  }
  if (state->member) memberGone(peer);
  if (state->toHost && joinState_ == JoinState::Connecting) joinState_ = JoinState::Refused;
  if (state->meetPending && pendingMeets_ > 0) --pendingMeets_;
  delete state;
  peer->data = nullptr;
}

void SessionService::handlePacket(ENetPeer* peer, const std::uint8_t* bytes, std::size_t length,
                                  bool reliableChannel) {
  auto* state = static_cast<PeerState*>(peer->data);
  if (!state || length == 0) return;
  std::uint8_t kind = bytes[0];
  if (!state->member) {
    if (!reliableChannel) return;
    if (kind == kHello || kind == kHelloListed) {
      if (!state->outgoing) handleHello(peer, bytes, length);
    } else if (kind == kMeet) {
      if (!state->outgoing) handleMeet(peer, bytes, length);
    } else if (kind == kWelcome) {
      if (state->toHost) handleWelcome(peer, bytes, length);
    } else if (kind == kRefuse) {
      if (state->toHost && joinState_ == JoinState::Connecting) joinState_ = JoinState::Refused;
    }
    return;
  }
  switch (kind) {
    case kMessage:
      handleMessage(*state, bytes, length);
      break;
    case kPlayerNew:
      if (reliableChannel) handlePlayerNew(*state, bytes, length);
      break;
    case kPlayerGone:
      if (reliableChannel) handlePlayerGone(*state, bytes, length);
      break;
    case kBye:
      if (reliableChannel) memberGone(peer);
      break;
    default:
      break;  // anything else from a member is dropped
  }
}

void SessionService::handleHello(ENetPeer* peer, const std::uint8_t* bytes, std::size_t length) {
  bool listed = bytes[0] == kHelloListed;
  bool fits = length >= 5 && getU32(bytes + 1) == kProtocolVersion;
  bool nameMatches = listed || (length - 5 == gameName_.size() &&
                                std::memcmp(bytes + 5, gameName_.data(), gameName_.size()) == 0);
  if (!fits || !isHost_ || !nameMatches || lost_ || nextSeq_ > kMaxJoinNumber) {
    std::string refuse(1, static_cast<char>(kRefuse));
    sendBytes(peer, refuse);
    enet_peer_disconnect_later(peer, 0);
    return;
  }
  std::uint32_t seq = nextSeq_++;
  std::string welcome;
  welcome.push_back(static_cast<char>(kWelcome));
  appendU32(&welcome, seq);
  appendU32(&welcome, mySeq_);
  appendU32(&welcome, static_cast<std::uint32_t>(members_.size()));
  for (const auto& member : members_) {
    appendU32(&welcome, member.first);
    appendU32(&welcome, member.second->address.host);
    appendU16(&welcome, member.second->address.port);
  }
  welcome += gameName_;
  sendBytes(peer, welcome);
  admitMember(peer, seq);
  enet_host_flush(host_);
}

void SessionService::handleMeet(ENetPeer* peer, const std::uint8_t* bytes, std::size_t length) {
  if (length < 9 || getU32(bytes + 1) != kProtocolVersion || mySeq_ == 0) {
    enet_peer_disconnect_later(peer, 0);
    return;
  }
  std::uint32_t seq = getU32(bytes + 5);
  bool nameMatches = length - 9 == gameName_.size() && std::memcmp(bytes + 9, gameName_.data(), gameName_.size()) == 0;
  if (!nameMatches || seq == 0 || seq > kMaxJoinNumber || seq == mySeq_ || members_.count(seq)) {
    enet_peer_disconnect_later(peer, 0);
    return;
  }
  admitMember(peer, seq);
  enet_host_flush(host_);
}

void SessionService::handleWelcome(ENetPeer* peer, const std::uint8_t* bytes, std::size_t length) {
  if (joinState_ != JoinState::Connecting || length < 13) return;
  std::uint32_t seq = getU32(bytes + 1);
  std::uint32_t hostSeq = getU32(bytes + 5);
  std::uint32_t count = getU32(bytes + 9);
  std::size_t at = 13;
  if (seq == 0 || seq > kMaxJoinNumber || hostSeq == 0 || hostSeq == seq || count > kPeerLimit ||
      length - at < count * 10u) {
    joinState_ = JoinState::Refused;
    return;
  }
  mySeq_ = seq;
  nextSeq_ = std::max(nextSeq_, seq + 1);
  std::vector<std::pair<std::uint32_t, ENetAddress>> others;
  for (std::uint32_t i = 0; i < count; ++i, at += 10) {
    std::uint32_t otherSeq = getU32(bytes + at);
    ENetAddress address{getU32(bytes + at + 4), getU16(bytes + at + 8)};
    if (otherSeq == 0 || otherSeq > kMaxJoinNumber || otherSeq == seq || otherSeq == hostSeq) continue;
    others.emplace_back(otherSeq, address);
  }
  gameName_.assign(reinterpret_cast<const char*>(bytes + at), length - at);
  isHost_ = false;
  admitMember(peer, hostSeq);
  for (const auto& other : others) {
    if (members_.count(other.first)) continue;
    nextSeq_ = std::max(nextSeq_, other.first + 1);
    ENetPeer* meet = enet_host_connect(host_, &other.second, 2, kConnectMagic);
    if (!meet) continue;
    auto* state = new PeerState;
    state->outgoing = true;
    state->seq = other.first;
    state->meetPending = true;
    state->since = nowMs();
    meet->data = state;
    ++pendingMeets_;
  }
  joinState_ = JoinState::Welcomed;
  enet_host_flush(host_);
}

void SessionService::admitMember(ENetPeer* peer, std::uint32_t seq) {
  auto* state = static_cast<PeerState*>(peer->data);
  state->member = true;
  state->seq = seq;
  members_[seq] = peer;
  nextSeq_ = std::max(nextSeq_, seq + 1);
  sendLocalPlayers(peer);
}

void SessionService::sendLocalPlayers(ENetPeer* peer) {
  for (int id : localPlayers_) {
    std::string notice;
    notice.push_back(static_cast<char>(kPlayerNew));
    appendU32(&notice, static_cast<std::uint32_t>(id));
    notice += players_[id].name;
    sendBytes(peer, notice);
  }
}

void SessionService::memberGone(ENetPeer* peer) {
  auto* state = static_cast<PeerState*>(peer->data);
  if (!state || !state->member) return;
  state->member = false;
  auto owned = remoteByOwner_.find(state->seq);
  if (owned != remoteByOwner_.end()) {
    for (int id : owned->second) {
      players_.erase(id);
      if (!lost_) push(NetEvent{NetEvent::PlayerLeft, id, 0, 0, {}});
    }
    remoteByOwner_.erase(owned);
  }
  auto it = members_.find(state->seq);
  if (it != members_.end() && it->second == peer) members_.erase(it);
  enet_peer_disconnect_later(peer, 0);
  updateHostRole();
}

void SessionService::updateHostRole() {
  if (mySeq_ == 0 || isHost_ || lost_) return;
  if (!members_.empty() && members_.begin()->first < mySeq_) return;
  isHost_ = true;
  push(NetEvent{NetEvent::BecameHost, -1, 0, 0, {}});
}

void SessionService::handlePlayerNew(PeerState& from, const std::uint8_t* bytes, std::size_t length) {
  if (length < 5) return;
  int id = static_cast<int>(getU32(bytes + 1));
  std::vector<int>& owned = remoteByOwner_[from.seq];
  if (id <= 0 || static_cast<std::uint32_t>(id) >> 20 != from.seq || players_.count(id) ||
      owned.size() >= kMaxPlayersPerMachine)
    return;
  std::string name(reinterpret_cast<const char*>(bytes + 5), length - 5);
  players_[id] = Player{from.seq, name};
  owned.push_back(id);
  push(NetEvent{NetEvent::PlayerJoined, id, 0, 0, std::move(name)});
}

void SessionService::handlePlayerGone(PeerState& from, const std::uint8_t* bytes, std::size_t length) {
  if (length < 5) return;
  int id = static_cast<int>(getU32(bytes + 1));
  auto it = players_.find(id);
  if (it == players_.end() || it->second.owner != from.seq) return;
  players_.erase(it);
  std::vector<int>& owned = remoteByOwner_[from.seq];
  owned.erase(std::remove(owned.begin(), owned.end(), id), owned.end());
  push(NetEvent{NetEvent::PlayerLeft, id, 0, 0, {}});
}

void SessionService::handleMessage(PeerState& from, const std::uint8_t* bytes, std::size_t length) {
  if (length < 1 + kMessageHeaderSize) return;  // shorter than its header
  if (length - 1 - kMessageHeaderSize > kMaxMessageBytes) return;
  int fromId = static_cast<int>(getU32(bytes + 1));
  int toId = static_cast<int>(getU32(bytes + 5));
  auto sender = players_.find(fromId);
  if (sender == players_.end() || sender->second.owner != from.seq) return;  // not its player
  if (toId != 0) {
    auto receiver = players_.find(toId);
    if (receiver == players_.end() || receiver->second.owner != mySeq_) return;
  }
  int type = static_cast<std::int8_t>(bytes[9]);
  if (type == 0) return;  // type 0 is never reported
  push(NetEvent{NetEvent::Message, fromId, toId, type,
                std::string(reinterpret_cast<const char*>(bytes + 10), length - 10)});
}

void SessionService::dropStrangers() {
  std::uint32_t now = nowMs();
  for (std::size_t i = 0; i < host_->peerCount; ++i) {
    ENetPeer* peer = &host_->peers[i];
    auto* state = static_cast<PeerState*>(peer->data);
    if (!state || state->member || state->outgoing) continue;
    if (now - state->since < kStrangerMs) continue;
    delete state;
    peer->data = nullptr;
    enet_peer_disconnect_now(peer, 0);
  }
}

void SessionService::push(NetEvent&& event) { arrived_.push_back(std::move(event)); }

void SessionService::publishArrived() {
  if (arrived_.empty()) return;
  std::lock_guard<std::mutex> g(queueLock_);
  for (NetEvent& event : arrived_) {
    std::size_t bytes = event.data.size() + 32;
    if (queue_.size() >= kMaxQueuedEvents || queuedBytes_ + bytes > kMaxQueuedBytes) {
      if (event.kind == NetEvent::Message) continue;  // notices are kept: they are few and small
    }
    queuedBytes_ += bytes;
    queue_.push_back(std::move(event));
  }
  arrived_.clear();
  queued_.store(static_cast<std::uint32_t>(queue_.size()), std::memory_order_release);
}

void SessionService::receiveHere() {
  if (lost_) return;
  std::uint32_t now = nowMs();
  // Traffic due (seen at the last service): sleep first, service after, so the
  // processor is free the moment the other end is woken by what we sent.
  bool expecting = trafficDue_;
  if (!expecting) {
    // A full service (timers, resends) once a millisecond; in between only a
    // look at the socket, a fraction of the cost.
    if (now == lastHereMs_) {
      pollfd socket{host_->socket, POLLIN, 0};
      if (poll(&socket, 1, 0) <= 0) {
        if (++idleWaits_ % 16 == 0) sched_yield();  // the other end may want this processor
        return;
      }
    }
    if (!serviceHere()) return;
    expecting = trafficDue_ && queued() == 0;
  }
  // Sleeping until it comes costs less than spinning, and a sleeper is woken
  // at once where a spinner waits for its turn on the processor. An
  // acknowledgement alone wakes it; the answer behind it is slept for too.
  // Every pass services, the last one (the wait over) too, so timers run.
  auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(kAwaitTrafficUs);
  PatientWait patient(expecting);
  while (expecting) {
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - std::chrono::steady_clock::now());
    pollfd socket{host_->socket, POLLIN, 0};
    timespec bound{0, static_cast<long>(std::max<std::int64_t>(left.count(), 0))};
    bool arrived = left.count() > 0 && ppoll(&socket, 1, &bound, nullptr) > 0;
    if (!serviceHere()) return;
    expecting = arrived && trafficDue_ && queued() == 0;
  }
}

// One service on the game's thread, unless the network thread has the lock.
bool SessionService::serviceHere() {
  if (!lock_.try_lock()) return false;
  lastHereMs_ = nowMs();
  gameReceivedAt_.store(lastHereMs_, std::memory_order_relaxed);
  serviceAndPublish(0);
  trafficDue_ = trafficDue();
  lock_.unlock();
  return true;
}

// An acknowledgement of our guaranteed traffic is on its way, or the other end
// spoke a moment ago (an exchange under way: the answer follows its
// acknowledgement closely, and the next question follows the answer).
bool SessionService::trafficDue() const {
  for (const auto& member : members_) {
    const ENetPeer& peer = *member.second;
    if (!enet_list_empty(&peer.sentReliableCommands)) return true;
    if (host_->serviceTime - peer.lastReceiveTime < kRecentTrafficMs) return true;
  }
  return false;
}

bool SessionService::takeEvent(NetEvent& out) {
  if (queued() == 0) return false;
  std::lock_guard<std::mutex> g(queueLock_);
  if (queue_.empty()) return false;
  out = std::move(queue_.front());
  queue_.pop_front();
  queuedBytes_ -= out.data.size() + 32;
  queued_.store(static_cast<std::uint32_t>(queue_.size()), std::memory_order_release);
  return true;
}

bool SessionService::isHost() {
  std::lock_guard<std::mutex> g(lock_);
  return isHost_;
}

std::size_t SessionService::memberCount() {
  std::lock_guard<std::mutex> g(lock_);
  return members_.size();
}

int SessionService::createPlayer(const std::string& name) {
  std::lock_guard<std::mutex> g(lock_);
  if (lost_ || mySeq_ == 0 || nextLocal_ > kMaxLocalCount) return 0;
  int id = static_cast<int>((mySeq_ << 20) | nextLocal_++);
  players_[id] = Player{mySeq_, name};
  localPlayers_.push_back(id);
  std::string notice;
  notice.push_back(static_cast<char>(kPlayerNew));
  appendU32(&notice, static_cast<std::uint32_t>(id));
  notice += name;
  ENetPacket* packet = enet_packet_create(notice.data(), notice.size(), ENET_PACKET_FLAG_RELIABLE);
  if (packet) sendToMembers(packet, 0);
  enet_host_flush(host_);
  return id;
}

void SessionService::destroyPlayer(int id) {
  std::lock_guard<std::mutex> g(lock_);
  auto it = players_.find(id);
  if (it == players_.end() || it->second.owner != mySeq_) return;
  players_.erase(it);
  localPlayers_.erase(std::remove(localPlayers_.begin(), localPlayers_.end(), id), localPlayers_.end());
  if (lost_) return;
  std::string notice;
  notice.push_back(static_cast<char>(kPlayerGone));
  appendU32(&notice, static_cast<std::uint32_t>(id));
  ENetPacket* packet = enet_packet_create(notice.data(), notice.size(), ENET_PACKET_FLAG_RELIABLE);
  if (packet) sendToMembers(packet, 0);
  enet_host_flush(host_);
}

bool SessionService::send(int from, int to, int type, const char* data, std::size_t length, bool reliable) {
  if (length > kMaxMessageBytes) return false;
  std::lock_guard<std::mutex> g(lock_);
  if (lost_) return false;
  auto sender = players_.find(from);
  if (sender == players_.end() || sender->second.owner != mySeq_) return false;
  ENetPeer* target = nullptr;
  if (to != 0) {
    auto receiver = players_.find(to);
    if (receiver == players_.end()) return false;
    // Another local player: a program never receives its own players' messages.
    if (receiver->second.owner == mySeq_) return true;
    auto member = members_.find(receiver->second.owner);
    if (member == members_.end()) return false;
    target = member->second;
  }
  ENetPacket* packet = newPacket(1 + kMessageHeaderSize + length, reliable);
  if (!packet) return false;
  std::uint8_t* out = packet->data;
  out[0] = kMessage;
  putU32(out + 1, static_cast<std::uint32_t>(from));
  putU32(out + 5, static_cast<std::uint32_t>(to));
  out[9] = static_cast<std::uint8_t>(type);
  if (length) std::memcpy(out + 10, data, length);
  std::uint8_t channel = reliable ? 0 : 1;
  bool sent = true;
  bool backlog = false;
  if (target) {
    backlog = !enet_list_empty(&target->outgoingCommands);
    sent = enet_peer_send(target, channel, packet) == 0;
    if (!sent) enet_packet_destroy(packet);
  } else {
    for (const auto& member : members_) backlog |= !enet_list_empty(&member.second->outgoingCommands);
    sendToMembers(packet, channel);
  }
  // A message behind others waits for the window to open: the network thread
  // sends it as acknowledgements come. Flushing then would only walk the queue.
  if (!backlog) enet_host_flush(host_);
  return sent;
}

void SessionService::sendToMembers(ENetPacket* packet, std::uint8_t channel) {
  for (const auto& member : members_) enet_peer_send(member.second, channel, packet);
  if (packet->referenceCount == 0) enet_packet_destroy(packet);
}

// Waits until every member has acknowledged the guaranteed traffic sent to it.
void SessionService::flushReliable(int boundMs) {
  std::uint32_t deadline = nowMs() + static_cast<std::uint32_t>(boundMs);
  while (before(deadline)) {
    bool pending = false;
    for (std::size_t i = 0; i < host_->peerCount; ++i) {
      ENetPeer* peer = &host_->peers[i];
      if (peer->state != ENET_PEER_STATE_CONNECTED) continue;
      if (!enet_list_empty(&peer->outgoingCommands) || !enet_list_empty(&peer->sentReliableCommands))
        pending = true;
    }
    if (!pending) return;
    serviceAndPublish(5);
    if (lost_) return;
  }
}

void SessionService::close() {
  if (!host_) return;
  stopThread();
  std::lock_guard<std::mutex> g(lock_);
  if (!lost_ && mySeq_ != 0) {
    std::string bye(1, static_cast<char>(kBye));
    ENetPacket* packet = enet_packet_create(bye.data(), bye.size(), ENET_PACKET_FLAG_RELIABLE);
    if (packet) sendToMembers(packet, 0);
    enet_host_flush(host_);
    flushReliable(kFlushMs);
  }
  // Every connection is closed gracefully, then given a moment to be acknowledged.
  for (std::size_t i = 0; i < host_->peerCount; ++i) {
    ENetPeer* peer = &host_->peers[i];
    if (peer->state == ENET_PEER_STATE_CONNECTED) enet_peer_disconnect(peer, 0);
  }
  std::uint32_t deadline = nowMs() + 200;
  while (before(deadline)) {
    bool open = false;
    for (std::size_t i = 0; i < host_->peerCount; ++i)
      if (host_->peers[i].state != ENET_PEER_STATE_DISCONNECTED) open = true;
    if (!open) break;
    serviceAndPublish(5);
    if (lost_) break;
  }
  for (std::size_t i = 0; i < host_->peerCount; ++i) {
    delete static_cast<PeerState*>(host_->peers[i].data);
    host_->peers[i].data = nullptr;
  }
  {
    std::lock_guard<std::mutex> owners(gOwnersLock);
    gOwners.erase(host_);
  }
  enet_host_destroy(host_);
  host_ = nullptr;
  members_.clear();
  players_.clear();
  localPlayers_.clear();
  remoteByOwner_.clear();
}

int SessionService::interceptThunk(ENetHost* host, void*) {
  SessionService* owner = nullptr;
  {
    std::lock_guard<std::mutex> g(gOwnersLock);
    auto it = gOwners.find(host);
    if (it != gOwners.end()) owner = it->second;
  }
  if (!owner) return 0;
  return owner->intercept(host->receivedData, host->receivedDataLength);
}

// Searches and their answers; everything else goes on to ENet.
int SessionService::intercept(const std::uint8_t* bytes, std::size_t length) {
  if (length < 4) return 0;
  const ENetAddress& from = host_->receivedAddress;
  if (std::memcmp(bytes, kQueryMagic, 4) == 0) {
    if (length < kFindQuerySize || bytes[4] != kProtocolVersion || !isHost_ || lost_) return 1;
    std::uint8_t answer[kListQuerySize] = {};
    std::memcpy(answer, kAnswerMagic, 4);
    answer[4] = kProtocolVersion;
    answer[5] = bytes[5];
    putU16(answer + 6, host_->address.port);
    std::memcpy(answer + 8, bytes + 8, 4);  // the nonce
    if (bytes[5] == kQueryFind) {
      if (getU32(bytes + 12) != gameName_.size() || getU64(bytes + 16) != nameHash(gameName_)) return 1;
      sendDatagram(host_, from, answer, 12);
    } else if (bytes[5] == kQueryList && length >= kListQuerySize) {
      std::size_t n = std::min(gameName_.size(), kListedNameMax);
      answer[12] = static_cast<std::uint8_t>(n);
      std::memcpy(answer + 13, gameName_.data(), n);
      sendDatagram(host_, from, answer, 13 + n);
    }
    return 1;
  }
  if (std::memcmp(bytes, kAnswerMagic, 4) == 0) {
    if (length < 12 || joinState_ != JoinState::Searching || getU32(bytes + 8) != searchNonce_) return 1;
    std::uint16_t port = getU16(bytes + 6);
    if (bytes[5] == kQueryFind && !listing_ && !foundHost_) {
      foundHost_ = true;
      foundIp_ = from.host;
      foundPort_ = port;
    } else if (bytes[5] == kQueryList && listing_ && length >= 13 && length >= 13u + bytes[12]) {
      FoundGame game{std::string(reinterpret_cast<const char*>(bytes + 13), bytes[12]), from.host, port};
      bool seen = std::any_of(listing_->begin(), listing_->end(), [&](const FoundGame& g) {
        return g.port == game.port && g.name == game.name;
      });
      if (!seen && listing_->size() < 256) listing_->push_back(game);
    }
    return 1;
  }
  return 0;
}

}  // namespace kr::net
