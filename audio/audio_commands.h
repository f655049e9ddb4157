// The audio group's commands, as the group table registers them.
#pragma once
struct krString;

namespace kr {
namespace audio {

bool init();
void shutdown();

int loadSound(krString* filename);
void freeSound(int sound);
void loopSound(int sound);
void soundPitch(int sound, int pitch);
void soundVolume(int sound, float volume);
void soundPan(int sound, float pan);
int playSound(int sound);

void stopChannel(int channel);
void pauseChannel(int channel);
void resumeChannel(int channel);
void channelPitch(int channel, int pitch);
void channelVolume(int channel, float volume);
void channelPan(int channel, float pan);
int channelPlaying(int channel);

int playMusic(krString* midifile);
int playCdTrack(int track, int mode);

// Conversions to the engine's scale, clamped first; false for NaN.
bool volumeScale(float volume, int& out);
bool panScale(float pan, int& out);

}  // namespace audio
}  // namespace kr
