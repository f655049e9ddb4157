// Failing decoders, bad files and values, shutdown and running without a device.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/audio/audio_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using namespace audiotest;
using Lines = std::vector<std::string>;

namespace {

bool ended(const RunResult& r) { return r.errContains("debugInfo: Program has ended"); }

std::string le16(int v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string le32(std::uint32_t v) { return le16(static_cast<int>(v & 0xFFFF)) + le16(static_cast<int>(v >> 16)); }

// A canonical WAV header with the given fields and data chunk size.
std::string wavHeader(int tag, int channels, std::uint32_t rate, std::uint32_t dataBytes) {
  return "RIFF" + le32(36 + dataBytes) + "WAVEfmt " + le32(16) + le16(tag) + le16(channels) + le32(rate) +
         le32(rate * channels * 2) + le16(channels * 2) + le16(16) + "data" + le32(dataBytes);
}

// Decoder processes of this build still alive that a run in dir started (they
// inherit its working directory; other tests may run decoders meanwhile).
int decodersAlive(const std::string& dir) {
  std::string mine = buildPath("krdecode");
  char resolved[4096], runDir[4096];
  if (!realpath(mine.c_str(), resolved) || !realpath(dir.c_str(), runDir)) return 0;
  int count = 0;
  DIR* proc = opendir("/proc");
  while (dirent* e = readdir(proc)) {
    char link[4096];
    std::string exe = std::string("/proc/") + e->d_name + "/exe";
    ssize_t n = readlink(exe.c_str(), link, sizeof link - 1);
    if (n <= 0) continue;
    link[n] = 0;
    std::string stat = readFile(std::string("/proc/") + e->d_name + "/stat");
    bool zombie = stat.find(") Z") != std::string::npos;
    char cwd[4096];
    ssize_t c = readlink((std::string("/proc/") + e->d_name + "/cwd").c_str(), cwd, sizeof cwd - 1);
    if (c <= 0) continue;
    cwd[c] = 0;
    if (std::string(link) == resolved && std::string(cwd) == runDir && !zombie) ++count;
  }
  closedir(proc);
  return count;
}

}  // namespace

TEST(AudioRobustness, CrashedAndHungDecodersEndOnlyTheirChannel) {
  TempDir dir;
  writeTone(dir.file("long.wav"), SF_FORMAT_WAV, 300, 4.0);
  writeTone(dir.file("hang.wav"), SF_FORMAT_WAV, 300, 6.0);
  writeTone(dir.file("short.wav"), SF_FORMAT_WAV, 400, 0.3);
  writeFile(dir.file("kill.sh"),
            "for p in $(cat /proc/$3/task/*/children); do\n"
            "  if ls -l /proc/$p/fd 2>/dev/null | grep -q \"$2\"; then kill -$1 $p; fi\n"
            "done\n");
  RunOptions options;
  options.timeoutMs = 30000;
  RunResult r = runModuleIn("audio_decoder_failure", dir, options);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(r.logs(), (Lines{"crashEnded=1", "next=1", "nextEnded=1", "hangEnded=1", "again=1", "againEnded=1",
                             "replayed=1", "done"}));
}

TEST(AudioRobustness, DecoderFailuresAfterPlayMusicReturnsEndTheChannelLater) {
  TempDir dir;
  writeTone(dir.file("a.wav"), SF_FORMAT_WAV, 300, 4.0);
  writeFile(dir.file("tune.mod"), trackerSong());
  // A sound Ogg page header over a Vorbis header whose body is garbage.
  writeTone(dir.file("good.ogg"), SF_FORMAT_OGG, 400, 0.5);
  std::string ogg = readFile(dir.file("good.ogg"));
  ASSERT_GT(ogg.size(), 200u);
  for (std::size_t i = 58; i < ogg.size(); ++i) ogg[i] = static_cast<char>(i * 7919);
  writeFile(dir.file("broken.ogg"), ogg);
  // Stops every decoder process of the game (the spare the song will get).
  writeFile(dir.file("stop.sh"),
            "for p in $(cat /proc/$2/task/*/children); do\n"
            "  case \"$(readlink /proc/$p/exe)\" in *krdecode) kill -$1 $p;; esac\n"
            "done\n");
  RunOptions options;
  options.timeoutMs = 30000;
  RunResult r = runModuleIn("audio_late_failure", dir, options);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(r.logs(), (Lines{"quick=1", "playing=1", "brokenEnded=1", "songEnded=1", "again=1", "againEnded=1",
                             "done"}));
  for (int i = 0; i < 50 && decodersAlive(dir.path()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(decodersAlive(dir.path()), 0);
}

TEST(AudioRobustness, BadFilesNamesValuesAndHandles) {
  TempDir dir;
  writeTone(dir.file("tone.wav"), SF_FORMAT_WAV, 440, 0.2);
  writeTone(dir.file("six_channels.wav"), SF_FORMAT_WAV, 440, 0.2, 44100, 6);
  writeFile(dir.file("empty.wav"), "");
  writeFile(dir.file("text.wav"), "just some words, not a sound at all\n");
  ASSERT_EQ(mkdir(dir.file("folder.wav").c_str(), 0755), 0);
  std::string pcm(2048, '\x10');
  writeFile(dir.file("zero_rate.wav"), wavHeader(1, 1, 0, 2048) + pcm);
  writeFile(dir.file("zero_channels.wav"), wavHeader(1, 0, 44100, 2048) + pcm);
  writeFile(dir.file("bad_tag.wav"), wavHeader(0x1234, 1, 44100, 2048) + pcm);
  writeFile(dir.file("huge_claim.wav"), wavHeader(1, 1, 44100, 1u << 30) + pcm);
  writeFile(dir.file("absurd_rate.wav"), wavHeader(1, 1, 0x7FFFFFFF, 2048) + pcm);
  // Claims 2 GB and is 100 MB of (sparse) silence: the load is capped.
  writeFile(dir.file("endless.wav"), wavHeader(1, 1, 44100, 0x7FFFFFF0));
  ASSERT_EQ(truncate(dir.file("endless.wav").c_str(), 100 << 20), 0);
  std::string garbage;
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 7919) ^ (i >> 3));
  std::string mod = garbage;
  mod.replace(1080, 4, "M.K.");
  writeFile(dir.file("garbage.mod"), mod);
  writeFile(dir.file("garbage.xm"), "Extended Module: " + std::string(20, 'x') + "\x1a" + garbage);
  writeFile(dir.file("garbage.it"), "IMPM" + garbage);
  std::string s3m = garbage;
  s3m[29] = 16;
  s3m.replace(44, 4, "SCRM");
  writeFile(dir.file("garbage.s3m"), s3m);
  writeFile(dir.file("garbage.mid"), std::string("MThd\0\0\0\6\0\1\0\1\0\x60MTrk\xff\xff\xff\xf0", 22) + garbage);
  writeFile(dir.file("fake.mp3"), garbage);
  writeFile(dir.file("fake.ogg"), "OggS" + garbage);
  writeFile(dir.file("fake.flac"), "fLaC" + garbage);
  // A gzip stream is a packed format: never handed to the song loader.
  writeFile(dir.file("packed.xm"), std::string("\x1f\x8b\x08\0\0\0\0\0", 8) + garbage);
  RunOptions options;
  options.timeoutMs = 60000;
  RunResult r = runModuleIn("audio_bad_input", dir, options);
  ASSERT_TRUE(ended(r)) << r.err;
  Lines logs = r.logs();
  ASSERT_EQ(logs.size(), 25u) << r.err;
  Lines expected = {"empty.wav=0", "text.wav=0", "folder.wav=0", "missing.wav=0", "/dev/zero=0",
                    "/dev/urandom=0", "zero_rate.wav=0", "zero_channels.wav=0", "bad_tag.wav=0"};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(logs[i], expected[i]);
  // Songs over garbage may play briefly or not at all; they never load as sounds.
  const char* songs[] = {"garbage.mod", "garbage.xm", "garbage.it", "garbage.s3m", "garbage.mid"};
  for (std::size_t i = 9; i < 14; ++i)
    EXPECT_TRUE(logs[i] == std::string(songs[i - 9]) + "=0" || logs[i] == std::string(songs[i - 9]) + "=1")
        << logs[i];
  EXPECT_EQ(logs[14], "huge_claim.wav=11");  // what is there plays
  EXPECT_EQ(logs[15], "absurd_rate.wav=0");
  EXPECT_EQ(logs[16], "six_channels.wav=11");
  EXPECT_EQ(logs[17], "endless.wav=11");
  EXPECT_EQ(logs[18], "fake.mp3=0");
  EXPECT_EQ(logs[19], "fake.ogg=0");
  EXPECT_EQ(logs[20], "fake.flac=0");
  EXPECT_EQ(logs[21], "packed.xm=0");
  EXPECT_EQ(logs[22], "longName=0");
  EXPECT_EQ(logs[23], "played=1");
  EXPECT_EQ(logs[24], "done");
}

TEST(AudioRobustness, PlaySoundOfANonSoundIsAnErrorOnlyWhenDebugging) {
  TempDir dir;
  RunResult r = runModuleIn("audio_bad_sound", dir);
  EXPECT_TRUE(r.errContains("debugError: Sound does not exist")) << r.err;
  EXPECT_EQ(readFile(dir.file("log.txt")), "freed\r\n");
  TempDir quiet;
  RunOptions options;
  options.debug = false;
  r = runModuleIn("audio_bad_sound", quiet, options);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(readFile(quiet.file("log.txt")), "freed\r\nplayed=0\r\n");
}

TEST(AudioRobustness, EndingWithEverythingPlayingIsQuickAndClean) {
  TempDir dir;
  writeTone(dir.file("loop.wav"), SF_FORMAT_WAV, 300, 0.2, 44100, 1, 0.01);
  writeTone(dir.file("long.wav"), SF_FORMAT_WAV, 300, 10.0);
  writeTone(dir.file("track01.wav"), SF_FORMAT_WAV, 300, 10.0);
  writeFile(dir.file("tune.mod"), trackerSong());
  writeFile(dir.file("note.mid"), midiNote());
  writeFile(dir.file("game.krm"), readFile(modulePath("audio_shutdown")));
  RunOptions options;
  options.env = {"ALSOFT_LOGLEVEL=3"};
  auto start = std::chrono::steady_clock::now();
  RunResult r = runModuleIn(dir.file("game.krm"), dir, options);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_FALSE(r.errContains("debugError")) << r.err;
  ASSERT_FALSE(r.logs().empty()) << r.err;
  EXPECT_EQ(r.logs()[0], "busy=34");
  EXPECT_LT(seconds, 5.0);
  EXPECT_FALSE(r.errContains("not closed")) << r.err;
  EXPECT_FALSE(r.errContains("(EE)")) << r.err;
  EXPECT_FALSE(r.errContains("Invalid")) << r.err;
  for (int i = 0; i < 50 && decodersAlive(dir.path()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(decodersAlive(dir.path()), 0);
}

TEST(AudioRobustness, WithoutAnyDeviceEveryCommandDoesNothing) {
  TempDir dir;
  writeTone(dir.file("tone.wav"), SF_FORMAT_WAV, 440, 0.2);
  writeTone(dir.file("track01.wav"), SF_FORMAT_WAV, 440, 0.2);
  RunOptions options;
  options.env = {"ALSOFT_DRIVERS=no-such-backend"};
  RunResult r = runModuleIn("audio_no_device", dir, options);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(r.logs(), (Lines{"load=0", "music=0", "cdPlaying=1", "done"}));
}

// The wave backend records into a 256 KiB file system: after about a second and
// a half of output its writes fail and OpenAL Soft reports the device gone.
TEST(AudioRobustness, ADeviceLostMidRunLeavesEveryCommandWorkingAndSilent) {
  TempDir dir;
  writeTone(dir.file("loop.wav"), SF_FORMAT_WAV, 300, 0.2, 44100, 1, 0.01);
  writeTone(dir.file("long.wav"), SF_FORMAT_WAV, 300, 10.0);
  writeTone(dir.file("other.wav"), SF_FORMAT_WAV, 400, 1.0);
  writeTone(dir.file("track01.wav"), SF_FORMAT_WAV, 500, 10.0);
  std::string small = dir.file("small");
  ASSERT_EQ(mkdir(small.c_str(), 0755), 0);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs to fill (" << strerror(errno) << ")";
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{small};
  RunOptions options;
  options.env = {"ALSOFT_DRIVERS=wave", waveConfig(dir.file("alsoft.conf"), small + "/out.wav")};
  auto start = std::chrono::steady_clock::now();
  RunResult r = runModuleIn("audio_device_lost", dir, options);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.errContains("Error writing")) << r.err;  // the device really failed
  EXPECT_EQ(r.logs(), (Lines{"started=1", "soundEnded=1", "musicEnded=1", "play=0", "load=0", "cachedMusic=0",
                             "newMusic=0", "cd=1", "cdPlaying=1", "channels=0", "done"}));
  EXPECT_LT(seconds, 10.0);
  EXPECT_FALSE(r.errContains("not closed")) << r.err;
  for (int i = 0; i < 50 && decodersAlive(dir.path()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(decodersAlive(dir.path()), 0);
}
