// Music: streams, tracker songs and MIDI through the decoder process, the
// music cache, and what happens when a decoder fails.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/audio/audio_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using namespace audiotest;
using Lines = std::vector<std::string>;

namespace {

bool ended(const RunResult& r) { return r.errContains("debugInfo: Program has ended"); }

Recording runRecorded(const std::string& module, const TempDir& dir, RunResult& result) {
  RunOptions options;
  options.env = {"ALSOFT_DRIVERS=wave", waveConfig(dir.file("alsoft.conf"), dir.file("out.wav"))};
  result = runModuleIn(module, dir, options);
  return readRecording(dir.file("out.wav"));
}

}  // namespace

TEST(Music, StreamsInEveryFormatAndCaseTrackerSongsAndMidi) {
  TempDir dir;
  writeTone(dir.file("music.wav"), SF_FORMAT_WAV, 300, 0.3, 22050, 2);
  ASSERT_EQ(mkdir(dir.file("Music").c_str(), 0755), 0);
  writeTone(dir.file("Music/song.ogg"), SF_FORMAT_OGG, 400, 0.3);
  writeTone(dir.file("song.flac"), SF_FORMAT_FLAC, 500, 0.3, 48000);
  writeTone(dir.file("tune.mp3"), SF_FORMAT_MPEG, 600, 0.3);
  writeFile(dir.file("tune.mod"), trackerSong());
  writeFile(dir.file("note.mid"), midiNote());
  RunResult r;
  Recording rec = runRecorded("audio_music_formats", dir, r);
  ASSERT_TRUE(ended(r)) << r.err;
  Lines expected;
  for (const char* name : {"music.wav", "MUSIC.WAV", "music\\song.ogg", "Song.FLAC", "tune.MP3", "tune.mod",
                           "note.mid"})
    expected.insert(expected.end(), {std::string(name) + "=1", "playing=1", "ended=1"});
  expected.push_back("done");
  EXPECT_EQ(r.logs(), expected);
  std::vector<Tone> t = toneSequence(rec);
  std::string heard;
  for (const Tone& tone : t) heard += std::to_string(tone.hertz) + "/" + std::to_string(tone.seconds) + " ";
  for (const Segment& seg : segments(rec, 0.15))
    heard += "[" + std::to_string(seg.start / 44.1) + "-" + std::to_string(seg.end / 44.1) + "ms] ";
  ASSERT_GE(t.size(), 7u) << heard << r.err;
  double hertz[] = {300, 300, 400, 500, 600, trackerNoteHertz()};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(t[i].hertz, hertz[i], hertz[i] * 0.03) << i;
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(t[i].seconds, 0.3, 0.08) << i;
  EXPECT_NEAR(t[5].seconds, 0.96, 0.15);  // eight rows at speed 6, 125 BPM
  // The piano note: A4, heard for about half a second and its release.
  EXPECT_NEAR(t[6].hertz, 440, 15);
  std::vector<Segment> s = segments(rec, 0.15);
  ASSERT_EQ(s.size(), 7u);
  EXPECT_GT(s[6].seconds(rec.rate), 0.4);
  EXPECT_LT(s[6].seconds(rec.rate), 1.6);
}

TEST(Music, CacheRetriesPauseAndHandlesThatSteerNothingElse) {
  TempDir dir;
  writeTone(dir.file("a.wav"), SF_FORMAT_WAV, 300, 0.8);
  writeTone(dir.file("loop.wav"), SF_FORMAT_WAV, 300, 0.2, 44100, 1, 0.01);
  writeFile(dir.file("note.mid"), midiNote());
  RunResult r = runModuleIn("audio_music_cache", dir);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(r.logs(), (Lines{"cached=1", "playing=1", "missing=0", "retried=1", "stopped=0", "paused=1",
                             "ended=1", "soundPlays=1", "musicIdle=0", "soundAsChannel=0", "madeUp=0",
                             "stillPlays=1", "freed=0", "song=1", "songStopped=0", "done"}));
}
