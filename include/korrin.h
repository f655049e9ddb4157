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

#include "korrin/system.h"   /* End, Stop, timers, DebugLog, trace hooks */
#include "korrin/lang.h"     /* strings, arrays, objects, data, arithmetic */
#include "korrin/library.h"  /* string and maths commands */
#include "korrin/files.h"    /* files, directories, banks */
#include "korrin/graphics.h" /* display, canvases, drawing */
#include "korrin/text.h"     /* fonts, text, the console */
#include "korrin/images.h"   /* images, collisions, transforms, LoadBuffer */
#include "korrin/input.h"    /* keyboard, mouse, joysticks */
#include "korrin/net.h"      /* multiplayer games */

#ifdef __cplusplus
}
#endif

#endif
