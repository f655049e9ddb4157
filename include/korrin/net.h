/* Multiplayer games, players and messages. Included by korrin.h.
 * Players are ids (0: all players); message types 1 to 255 arrive as 1 to 127
 * and -128 to -1; 100, 101, 102 and 200 are the runtime's notices. */
int _fstartnetgame(void);
int _fhostnetgame(krString* game_name);
int _fjoinnetgame(krString* game_name, krString* ip_address);
void _fstopnetgame(void);
int _fcreatenetplayer(krString* name);
void _fdeletenetplayer(int player);
krString* _fnetplayername(int player);
int _fnetplayerlocal(int player);
int _fsendnetmsg(int type, krString* msg, int from_player, int to_player, int reliable);
int _frecvnetmsg(void);
int _fnetmsgtype(void);
int _fnetmsgfrom(void);
int _fnetmsgto(void);
krString* _fnetmsgdata(void);
