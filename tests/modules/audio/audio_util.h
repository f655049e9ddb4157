/* Helpers for the audio test modules. */
#include "../module_log.h"

/* Waits until the channel stops playing, at most limit ms; the ms it took. */
static inline int waitEnd(int channel, int limit) {
  int start = _fmillisecs();
  while (_fchannelplaying(channel) && _fmillisecs() - start < limit) _fdelay(5);
  return _fmillisecs() - start;
}
