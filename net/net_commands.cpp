// The multiplayer commands: the program's view of a game. The session service
// below carries the traffic; here live the player table as the program knows
// it, the current message, and the turning of arrivals into message types.
#include "net/net_commands.h"

#include <enet/enet.h>

#include <chrono>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>

#include "host/host_runtime.h"
#include "lang/kr_string.h"
#include "net/session_service.h"
#include "net/start_dialog.h"
#include "runtime/errors.h"

namespace kr {
namespace net {

namespace {

struct NetPlayer {
  std::string name;
  bool remote;
};

struct CurrentMessage {
  int type = 0;
  int from = -1;
  int to = 0;
  std::string data;
};

struct GroupState {
  std::unique_ptr<SessionService> session;
  bool hostFlag = false;
  bool lostReported = false;  // 200 is delivered once; nothing arrives after it
  std::unordered_map<int, NetPlayer> players;
  CurrentMessage current;
  std::uint32_t emptyPolls = 0;
  std::chrono::steady_clock::time_point pollsAgo;  // at the last 16th empty poll
};

GroupState* gState = nullptr;

GroupState& state() { return *gState; }

void requireStarted() {
  if (!state().session) raiseRuntimeError("Multiplayer game not started");
}

void requireNotStarted() {
  if (state().session) raiseRuntimeError("Multiplayer game already started");
}

void pumpHost() {
  if (HostRuntime* host = currentHost()) host->pumpMessages();
}

// After a start, join or host: a fresh table; the players already in the game
// arrive through the service as joins.
int started(std::unique_ptr<SessionService> session, int result) {
  GroupState& s = state();
  s.players.clear();
  s.lostReported = false;
  if (!session) return 0;
  s.session = std::move(session);
  s.hostFlag = result == 2;
  return result;
}

void closeGame() {
  GroupState& s = state();
  if (s.session) s.session->close();
  s.session.reset();
  s.players.clear();
  s.lostReported = false;
}

// Turns one arrival into the current message; false when it reports nothing.
bool apply(NetEvent& event) {
  GroupState& s = state();
  CurrentMessage& m = s.current;
  switch (event.kind) {
    case NetEvent::PlayerJoined:
      if (s.players.count(event.from)) return false;
      s.players.emplace(event.from, NetPlayer{std::move(event.data), true});
      m.type = 100;
      m.from = event.from;
      return true;
    case NetEvent::PlayerLeft:
      if (!s.players.erase(event.from)) return false;
      m.type = 101;
      m.from = event.from;
      return true;
    case NetEvent::Message: {
      auto sender = s.players.find(event.from);
      if (sender != s.players.end() && !sender->second.remote) return false;
      if (event.type == 0) return false;
      m.type = event.type;
      m.from = event.from;
      m.to = event.to;
      m.data = std::move(event.data);
      return true;
    }
    case NetEvent::BecameHost:
      if (s.hostFlag) return false;
      s.hostFlag = true;
      m.type = 102;
      return true;
    case NetEvent::SessionLost:
      s.lostReported = true;
      m.type = 200;
      return true;
  }
  return false;
}

}  // namespace

bool init() {
  if (enet_initialize() != 0) return false;
  gState = new (std::nothrow) GroupState;
  return gState != nullptr;
}

void shutdown() {
  if (gState) closeGame();
  delete gState;
  gState = nullptr;
  enet_deinitialize();
}

int startNetGame() {
  requireNotStarted();
  std::unique_ptr<SessionService> session;
  int result = runStartDialog(&session);
  if ((result != 1 && result != 2) || !session) return started(nullptr, 0);
  return started(std::move(session), result);
}

int hostNetGame(krString* gameName) {
  std::string name = krStringTake(gameName);
  requireNotStarted();
  return started(SessionService::host(name), 2);
}

int joinNetGame(krString* gameName, krString* ipAddress) {
  std::string name = krStringTake(gameName);
  std::string address = krStringTake(ipAddress);
  requireNotStarted();
  return started(SessionService::join(name, address, pumpHost), 1);
}

void stopNetGame() { closeGame(); }

int createNetPlayer(krString* name) {
  std::string text = krStringTake(name);
  requireStarted();
  GroupState& s = state();
  int id = s.session->createPlayer(text);
  if (id == 0) return 0;
  s.players.emplace(id, NetPlayer{std::move(text), false});
  return id;
}

void deleteNetPlayer(int player) {
  requireStarted();
  GroupState& s = state();
  auto it = s.players.find(player);
  // A remote player is not ours to destroy: its owner reports when it goes.
  if (it == s.players.end() || it->second.remote) return;
  s.session->destroyPlayer(player);
  s.players.erase(it);
}

krString* netPlayerName(int player) {
  if (player == 0) return krStringNew("<all>");
  auto it = state().players.find(player);
  if (it == state().players.end()) return krStringNew("<unknown>");
  return krStringNew(it->second.name);
}

int netPlayerLocal(int player) {
  auto it = state().players.find(player);
  return it != state().players.end() && !it->second.remote ? 1 : 0;
}

int sendNetMsg(int type, krString* msg, int fromPlayer, int toPlayer, int reliable) {
  std::string text = krStringTake(msg);
  requireStarted();
  return state().session->send(fromPlayer, toPlayer, type, text.data(), text.size(), reliable != 0) ? 1 : 0;
}

int recvNetMsg() {
  requireStarted();
  GroupState& s = state();
  s.current = CurrentMessage();
  if (s.lostReported) return 0;
  // Only what was queued when the call began: a flood cannot hold up the frame.
  std::uint32_t available = s.session->queued();
  if (available == 0) {
    // 16 empty polls in a row within a millisecond are a program waiting for
    // the network: it then reads the socket itself every 16th poll, as a
    // spinning program would otherwise keep the processor from the network
    // thread that fills its queue. The other polls read one atomic.
    if (++s.emptyPolls % 16 == 0) {
      auto now = std::chrono::steady_clock::now();
      bool waiting = now - s.pollsAgo < std::chrono::milliseconds(1);
      s.pollsAgo = now;
      if (waiting) s.session->receiveHere();
    }
    return 0;
  }
  s.emptyPolls = 0;
  NetEvent event;
  for (std::uint32_t i = 0; i < available && s.session->takeEvent(event); ++i)
    if (apply(event)) return 1;
  return 0;
}

int netMsgType() { return state().current.type; }
int netMsgFrom() { return state().current.from; }
int netMsgTo() { return state().current.to; }
krString* netMsgData() { return krStringNew(state().current.data); }

}  // namespace net
}  // namespace kr
