/* System commands and trace hooks. Included by korrin.h. */
/* ---- system ---- */
void _fend(void);
void _fstop(void);
void _fapptitle(krString* title);
void _fruntimeerror(krString* message);
void _fexecfile(krString* command);
void _fdelay(int millisecs);
int _fmillisecs(void);
int _fcreatetimer(int hertz);
int _fwaittimer(int timer);
void _ffreetimer(int timer);
void _fdebuglog(krString* text);
void __krDebugStmt(int a, int b);
void __krDebugEnter(int a, int b, int c);
void __krDebugLeave(void);

