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

// Runs a module in dir with the wave backend recording to dir/out.wav. The
// module file is copied there too: CD tracks are looked for beside it.
Recording runRecorded(const std::string& module, const TempDir& dir, RunResult& result) {
  RunOptions options;
  options.env = {"ALSOFT_DRIVERS=wave", waveConfig(dir.file("alsoft.conf"), dir.file("out.wav"))};
  writeFile(dir.file("game.krm"), readFile(modulePath(module)));
  result = runModuleIn(dir.file("game.krm"), dir, options);
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
  std::size_t part = rec.rate * 3 / 20;  // the first and the last 150 ms
  std::size_t firstEnd = s[6].start + part, lastStart = s[6].end - part;
  EXPECT_NEAR(pitchHertz(rec, s[6].start, firstEnd), 440, 5);
  EXPECT_NEAR(pitchHertz(rec, lastStart, s[6].end), 220, 3);
  EXPECT_NEAR(rms(rec.left, s[6].start, firstEnd), rms(rec.right, s[6].start, firstEnd), 0.01);
  EXPECT_LT(rms(rec.right, lastStart, s[6].end), 0.05 * rms(rec.left, lastStart, s[6].end));
  EXPECT_NEAR(pitch(7), 220, 3);
  EXPECT_LT(rms(rec.left, s[7].start, s[7].end), 0.05 * rms(rec.right, s[7].start, s[7].end));
  // Volume 0 played nothing; infinity is full volume; a NaN pan changed nothing.
  EXPECT_NEAR(pitch(8), 440, 5);
  EXPECT_NEAR(ratio(level(8), level(5)), 1.0, 0.05);
  EXPECT_LT(rms(rec.left, s[8].start, s[8].end), 0.05 * rms(rec.right, s[8].start, s[8].end));
}

TEST(SoundOutput, PauseIsSilentResumeContinuesAndLoopsHaveNoSeam) {
  TempDir dir;
  writeTone(dir.file("second.wav"), SF_FORMAT_WAV, 440, 1.0);
  writeTone(dir.file("cycle.wav"), SF_FORMAT_WAV, 440, 0.1);  // exactly 44 cycles
  RunResult r;
  Recording rec = runRecorded("audio_pause_loop", dir, r);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(r.logs(), (std::vector<std::string>{"pausedPlaying=1", "ended=1", "looping=1", "stopped=0", "done"}));
  std::vector<Segment> s = segments(rec, 0.2);
  ASSERT_EQ(s.size(), 3u);
  // About 300 ms, a pause of about 400 ms (the delays of a busy machine run
  // long), then the rest: together exactly the second, nothing lost or repeated.
  EXPECT_GT(s[0].seconds(rec.rate), 0.25);
  EXPECT_LT(s[0].seconds(rec.rate), 0.8);
  EXPECT_NEAR(s[0].seconds(rec.rate) + s[1].seconds(rec.rate), 1.0, 0.02);
  EXPECT_GT(static_cast<double>(s[1].start - s[0].end) / rec.rate, 0.35);
  // The loop: about 600 ms of a steady 441 Hz, with no step larger than the
  // sine's own steepest one.
  EXPECT_GT(s[2].seconds(rec.rate), 0.5);
  EXPECT_NEAR(pitchHertz(rec, s[2].start, s[2].end), 440, 4);
  std::size_t inner = rec.rate / 50;
  double peak = 0;
  for (std::size_t i = s[2].start; i < s[2].end; ++i) peak = std::max(peak, static_cast<double>(std::fabs(rec.left[i])));
  EXPECT_LT(largestStep(rec.left, s[2].start + inner, s[2].end - inner), peak * 2 * M_PI * 440 / 44100 * 1.2);
}

TEST(SoundChannels, ThirtyTwoChannelsAndTheOrderOfRecycling) {
  TempDir dir;
  writeTone(dir.file("loop.wav"), SF_FORMAT_WAV, 300, 0.2, 44100, 1, 0.01);
  writeTone(dir.file("blip.wav"), SF_FORMAT_WAV, 300, 0.05);
  RunResult r = runModuleIn("audio_channels", dir);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(r.logs(), (std::vector<std::string>{"given=32", "distinct=1", "33rd=0", "looping=32", "stopped5=0",
                                                "reuses5=1", "twoChannels=1", "firstIsPool0=1", "recycled=1",
                                                "done"}));
}

TEST(SoundChannels, CdModesOverThreeTrackFilesAndALastingVolume) {
  TempDir dir;
  writeTone(dir.file("track01.wav"), SF_FORMAT_WAV, 300, 0.2);
  writeTone(dir.file("Track02.ogg"), SF_FORMAT_OGG, 400, 0.2);
  writeTone(dir.file("track03.flac"), SF_FORMAT_FLAC, 500, 0.2);
  RunResult r;
  Recording rec = runRecorded("audio_cd", dir, r);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(r.logs(), (std::vector<std::string>{"cd=1", "same=1", "afterStop=1", "done"}));
  std::vector<Tone> t = toneSequence(rec);
  ASSERT_GE(t.size(), 5u);
  double expected[] = {300, 400, 500, 300, 500};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(t[i].hertz, expected[i], expected[i] * 0.02) << i;
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(t[i].seconds, 0.2, 0.08) << i;
  // Track 3 again and again until stopped (each repeat may follow a short gap).
  double repeated = 0;
  for (std::size_t i = 4; i < t.size(); ++i) {
    EXPECT_NEAR(t[i].hertz, 500, 10) << i;
    repeated += t[i].seconds;
  }
  EXPECT_GT(repeated, 0.45);
  EXPECT_NEAR(t[3].level / t[0].level, 127.0 / 255, 0.05);
  EXPECT_NEAR(t[4].level / t[2].level, 1.0, 0.1);
}
