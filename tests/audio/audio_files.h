// Sound files for the audio tests, written in the test (libsndfile for sampled
// formats, byte by byte for MOD and MIDI), and the analysis of what OpenAL
// Soft's wave backend recorded.
#pragma once
#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace audiotest {

// A sine tone, amplitude 0..1, as 16-bit PCM in the given container format
// (SF_FORMAT_WAV, SF_FORMAT_OGG, SF_FORMAT_FLAC, SF_FORMAT_MPEG).
void writeTone(const std::string& path, int format, double hertz, double seconds, int rate = 44100,
               int channels = 1, double amplitude = 0.5);

// A ProTracker module: one looping 32-byte square-wave instrument playing
// period 428 for eight rows (about a second), then the song ends.
std::string trackerSong();
// The frequency trackerSong's note sounds at.
double trackerNoteHertz();
// A one-track MIDI file: A4 (440 Hz) on a piano for half a second.
std::string midiNote();

struct Recording {
  int rate = 0;
  std::vector<float> left, right;  // -1..1
  bool ok() const { return rate > 0 && !left.empty(); }
};
Recording readRecording(const std::string& path);

// A stretch of sound between silences, in frames of the recording.
struct Segment {
  std::size_t start = 0, end = 0;
  double seconds(int rate) const { return static_cast<double>(end - start) / rate; }
};
// Sounding stretches separated by at least minGapSeconds of silence.
std::vector<Segment> segments(const Recording& r, double minGapSeconds = 0.08);

double rms(const std::vector<float>& channel, std::size_t start, std::size_t end);
// Fundamental frequency by autocorrelation of both channels' sum over a stretch.
double pitchHertz(const Recording& r, std::size_t start, std::size_t end);
// Largest jump between neighbouring frames: a gap or a click shows as a big one.
double largestStep(const std::vector<float>& channel, std::size_t start, std::size_t end);

// The tones heard in order: the pitch of each 50 ms window that sounds, with
// neighbouring windows of the same pitch (within 5%) joined unless a silence
// lies between them.
struct Tone {
  double hertz = 0;
  double seconds = 0;
  double level = 0;  // the RMS of both channels in its loudest window (edge windows are partly silent)
  bool afterSilence = false;
  std::vector<double> windows;  // the pitch of each window; hertz is their median
};
std::vector<Tone> toneSequence(const Recording& r);

// An alsoft.conf making the wave backend record to outFile at 44.1 kHz stereo.
std::string waveConfig(const std::string& confPath, const std::string& outFile);

}  // namespace audiotest
