/* Sounds, channels, music and CD audio. Included by korrin.h.
 * Handles are ints (0: none); floats pass as 4-byte floats. */
int _floadsound(krString* filename);
void _ffreesound(int sound);
void _floopsound(int sound);
void _fsoundpitch(int sound, int pitch);
void _fsoundvolume(int sound, float volume);
void _fsoundpan(int sound, float pan);
int _fplaysound(int sound);
void _fstopchannel(int channel);
void _fpausechannel(int channel);
void _fresumechannel(int channel);
void _fchannelpitch(int channel, int pitch);
void _fchannelvolume(int channel, float volume);
void _fchannelpan(int channel, float pan);
int _fchannelplaying(int channel);
int _fplaymusic(krString* midifile);
int _fplaycdtrack(int track, int mode);
