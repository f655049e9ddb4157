// Sounds and channels heard through OpenAL Soft's wave backend: each module
// plays into a recording that the test then measures.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/audio/audio_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using namespace audiotest;

namespace {

bool ended(const RunResult& r) { return r.errContains("debugInfo: Program has ended"); }

// Runs a module in dir with the wave backend recording to dir/out.wav.
Recording runRecorded(const std::string& module, const TempDir& dir, RunResult& result) {
  RunOptions options;
  options.env = {"ALSOFT_DRIVERS=wave", waveConfig(dir.file("alsoft.conf"), dir.file("out.wav"))};
  result = runModuleIn(module, dir, options);
  return readRecording(dir.file("out.wav"));
}

double ratio(double a, double b) { return b > 0 ? a / b : 0; }

}  // namespace

TEST(SoundOutput, PitchVolumeAndPanOfSoundsAndChannels) {
  TempDir dir;
  writeTone(dir.file("tone440.wav"), SF_FORMAT_WAV, 440, 2.0);
  RunResult r;
  Recording rec = runRecorded("audio_sound_values", dir, r);
  ASSERT_TRUE(ended(r)) << r.err;
  ASSERT_TRUE(rec.ok());
  std::vector<Segment> s = segments(rec);
  ASSERT_EQ(s.size(), 9u) << r.err;
  auto level = [&](int i) { return rms(rec.left, s[i].start, s[i].end) + rms(rec.right, s[i].start, s[i].end); };
  auto pitch = [&](int i) { return pitchHertz(rec, s[i].start, s[i].end); };
  EXPECT_NEAR(pitch(0), 440, 5);
  EXPECT_NEAR(pitch(1), 220, 3);
  EXPECT_NEAR(ratio(level(2), level(0)), 127.0 / 255, 0.03);
  EXPECT_NEAR(ratio(level(3), level(0)), 63.0 / 255, 0.03);
  EXPECT_NEAR(rms(rec.left, s[0].start, s[0].end), rms(rec.right, s[0].start, s[0].end), 0.01);
  EXPECT_LT(rms(rec.right, s[4].start, s[4].end), 0.05 * rms(rec.left, s[4].start, s[4].end));
  EXPECT_LT(rms(rec.left, s[5].start, s[5].end), 0.05 * rms(rec.right, s[5].start, s[5].end));
  // Segment 7: the first half unchanged by the sound's new defaults, the second
  // half changed by the channel commands at once.
  std::size_t mid = (s[6].start + s[6].end) / 2, edge = rec.rate / 20;
  EXPECT_NEAR(pitchHertz(rec, s[6].start, mid - edge), 440, 5);
  EXPECT_NEAR(pitchHertz(rec, mid + edge, s[6].end), 220, 3);
  EXPECT_NEAR(rms(rec.left, s[6].start, mid - edge), rms(rec.right, s[6].start, mid - edge), 0.01);
  EXPECT_LT(rms(rec.right, mid + edge, s[6].end), 0.05 * rms(rec.left, mid + edge, s[6].end));
  EXPECT_NEAR(pitch(7), 220, 3);
  EXPECT_LT(rms(rec.left, s[7].start, s[7].end), 0.05 * rms(rec.right, s[7].start, s[7].end));
  // Volume 0 played nothing; infinity is full volume; a NaN pan changed nothing.
  EXPECT_NEAR(pitch(8), 440, 5);
  EXPECT_NEAR(ratio(level(8), level(5)), 1.0, 0.05);
  EXPECT_LT(rms(rec.left, s[8].start, s[8].end), 0.05 * rms(rec.right, s[8].start, s[8].end));
}
