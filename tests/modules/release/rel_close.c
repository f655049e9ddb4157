/* The window is closed while the program waits in a blocking command. The
 * command to wait in is named in which.txt; half a second after the program
 * starts, a shell it started sends the close request (SIGTERM, which SDL turns
 * into the same quit request as closing the last window). A line written
 * before the wait, never closed by the program, must survive the end. */
#include "../module_log.h"

static int is(krString* a, const char* b) { return __krStrCompare(a, S(b)) == 0; }

void __MAIN(void) {
  int f = _freadfile(S("which.txt")), kept, timer, i;
  krString* which = _freadline(f);
  _fclosefile(f);
  kept = _fwritefile(S("kept.txt"));
  _fwriteline(kept, S("written before the close"));

  _fexecfile(S("(sleep 0.5; kill -TERM $PPID) >/dev/null 2>&1 &"));
  logText("waiting");
  if (is(which, "Delay")) {
    _fdelay(30000);
  } else if (is(which, "WaitTimer")) {
    timer = _fcreatetimer(1);
    for (i = 0; i < 30; ++i) _fwaittimer(timer);
  } else if (is(which, "Stop")) {
    _fstop();
  } else if (is(which, "Flip")) {
    for (i = 0; i < 100000; ++i) _fflip(1);
  } else if (is(which, "VWait")) {
    for (i = 0; i < 100; ++i) _fvwait(60);
  } else if (is(which, "Statements")) {
    for (;;) __krDebugStmt(1, 2);
  } else if (is(which, "ExecFile")) {
    /* The close comes while the started program runs: ExecFile returns when it
     * ends, and the next waiting command ends the run. */
    _fexecfile(S("sleep 1.5"));
    _fwriteline(kept, S("after ExecFile"));
    _fdelay(30000);
  }
  _fwriteline(kept, S("not ended"));
  logText("not ended");
}
