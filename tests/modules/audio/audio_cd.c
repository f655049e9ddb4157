/* CD audio from track files: the three play modes and a volume that lasts. */
#include "audio_util.h"

void __MAIN(void) {
  _fdelay(200);
  int cd = _fplaycdtrack(1, 1);
  logInt("cd", cd != 0);
  _fdelay(600);                        /* track 1, once */
  logInt("same", _fplaycdtrack(2, 3) == cd);
  _fdelay(1000);                       /* tracks 2 and 3, then the disc ends */
  _fchannelvolume(cd, 0.5f);
  _fplaycdtrack(1, 5);                 /* any other mode plays once */
  _fdelay(600);
  _fchannelvolume(cd, 1.0f);
  _fplaycdtrack(3, 2);                 /* track 3 over and over */
  _fdelay(900);
  _fstopchannel(cd);
  logInt("afterStop", _fchannelplaying(cd));
  _fplaycdtrack(4, 1);                 /* no such track */
  _fplaycdtrack(-1, 3);
  _fplaycdtrack(0x7FFFFFFF, (int)0x80000000);
  _fpausechannel(cd);
  _fresumechannel(cd);
  _fchannelpitch(cd, 5);
  _fchannelpan(cd, 1.0f);
  _fdelay(300);
  logText("done");
}
