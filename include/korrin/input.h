/* Keyboard, mouse and joysticks. Included by korrin.h. */
/* ---- keyboard: keys are PC scan code set 1, extended keys + 128 ---- */
int _fkeydown(int key);
int _fkeyhit(int key);
int _fgetkey(void);
int _fwaitkey(void);
void _fflushkeys(void);
/* ---- mouse: buttons 1 left, 2 right, 3 middle; positions in canvas pixels ---- */
int _fmousedown(int button);
int _fmousehit(int button);
int _fgetmouse(void);
int _fwaitmouse(void);
int _fmousewait(void);
int _fmousex(void);
int _fmousey(void);
int _fmousexspeed(void);
int _fmouseyspeed(void);
void _fflushmouse(void);
void _fmovemouse(int x, int y);
/* ---- joysticks: port 0 is the first ---- */
int _fjoytype(int port);
int _fjoydown(int button, int port);
int _fjoyhit(int button, int port);
int _fgetjoy(int port);
int _fwaitjoy(int port);
int _fjoywait(int port);
float _fjoyx(int port);
float _fjoyy(int port);
float _fjoyz(int port);
int _fjoyxdir(int port);
int _fjoyydir(int port);
int _fjoyzdir(int port);
void _fflushjoy(void);
