// The multiplayer group's commands, as the group table registers them.
#pragma once
struct krString;

namespace kr {
namespace net {

bool init();
void shutdown();

int startNetGame();
int hostNetGame(krString* gameName);
int joinNetGame(krString* gameName, krString* ipAddress);
void stopNetGame();
int createNetPlayer(krString* name);
void deleteNetPlayer(int player);
krString* netPlayerName(int player);
int netPlayerLocal(int player);
int sendNetMsg(int type, krString* msg, int fromPlayer, int toPlayer, int reliable);
int recvNetMsg();
int netMsgType();
int netMsgFrom();
int netMsgTo();
krString* netMsgData();

}  // namespace net
}  // namespace kr
