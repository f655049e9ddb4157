// The audio group: registration table, init and shutdown.
#include "audio/audio_commands.h"
#include "runtime/command_table.h"

namespace kr {

namespace {

using namespace audio;

const CommandEntry kAudioCommands[] = {
    KR_ENTRY("%LoadSound$filename", loadSound),
    KR_ENTRY("FreeSound%sound", freeSound),
    KR_ENTRY("LoopSound%sound", loopSound),
    KR_ENTRY("SoundPitch%sound%pitch", soundPitch),
    KR_ENTRY("SoundVolume%sound#volume", soundVolume),
    KR_ENTRY("SoundPan%sound#pan", soundPan),
    KR_ENTRY("%PlaySound%sound", playSound),
    KR_ENTRY("StopChannel%channel", stopChannel),
    KR_ENTRY("PauseChannel%channel", pauseChannel),
    KR_ENTRY("ResumeChannel%channel", resumeChannel),
    KR_ENTRY("ChannelPitch%channel%pitch", channelPitch),
    KR_ENTRY("ChannelVolume%channel#volume", channelVolume),
    KR_ENTRY("ChannelPan%channel#pan", channelPan),
    KR_ENTRY("%ChannelPlaying%channel", channelPlaying),
    KR_ENTRY("%PlayMusic$midifile", playMusic),
    KR_ENTRY("%PlayCDTrack%track%mode=1", playCdTrack),
};

}  // namespace

extern const CommandGroup audioGroup;
const CommandGroup audioGroup = KR_GROUP("audio", kAudioCommands, init, shutdown);

}  // namespace kr
