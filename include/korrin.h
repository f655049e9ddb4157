/* The runtime's commands and support routines as compiled code sees them, under
 * their link names. Modules written in C include this header, compile with
 * gcc -m32 -c -fno-pic and are turned into containers by krconvert.
 *
 * Conventions: every argument is a 4-byte stack slot (cdecl); strings are
 * krString pointers; a string passed to a routine is owned by the receiver, a
 * string returned is owned by the caller; float results come back on the x87
 * stack. A module's entry is   void __MAIN(void).
 */
#ifndef KORRIN_H
#define KORRIN_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct krString krString;

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

/* ---- language support: strings ---- */
krString* __krStrConst(const char* text);
void __krStrRelease(krString* s);

#ifdef __cplusplus
}
#endif

#endif
