// The multiplayer group: registration table, init and shutdown.
#include "net/net_commands.h"
#include "runtime/command_table.h"

namespace kr {

namespace {

using namespace net;

const CommandEntry kNetCommands[] = {
    KR_ENTRY("%StartNetGame", startNetGame),
    KR_ENTRY("%HostNetGame$game_name", hostNetGame),
    KR_ENTRY("%JoinNetGame$game_name$ip_address", joinNetGame),
    KR_ENTRY("StopNetGame", stopNetGame),
    KR_ENTRY("%CreateNetPlayer$name", createNetPlayer),
    KR_ENTRY("DeleteNetPlayer%player", deleteNetPlayer),
    KR_ENTRY("$NetPlayerName%player", netPlayerName),
    KR_ENTRY("%NetPlayerLocal%player", netPlayerLocal),
    KR_ENTRY("%SendNetMsg%type$msg%from_player%to_player=0%reliable=1", sendNetMsg),
    KR_ENTRY("%RecvNetMsg", recvNetMsg),
    KR_ENTRY("%NetMsgType", netMsgType),
    KR_ENTRY("%NetMsgFrom", netMsgFrom),
    KR_ENTRY("%NetMsgTo", netMsgTo),
    KR_ENTRY("$NetMsgData", netMsgData),
};

}  // namespace

extern const CommandGroup netGroup;
const CommandGroup netGroup = KR_GROUP("multiplayer", kNetCommands, net::init, net::shutdown);

}  // namespace kr
