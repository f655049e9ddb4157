// The pieces below the commands: song headers, stream markers, conversions to
// the engine's scale, and the downmix of many channels.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "audio/audio_commands.h"
#include "audio/music_kind.h"
#include "audio/sample_file.h"
#include "tests/audio/audio_files.h"
#include "tests/support/module_runner.h"

using namespace kr::audio;

namespace {

SongFormat recognise(const std::string& bytes) {
  return recogniseSong(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string withModSignature(const char* sig) {
  std::string m(1084, '\0');
  m.replace(1080, 4, sig);
  return m;
}

}  // namespace

TEST(SongHeaders, OnlyTheFormatsTheRuntimeKnowsAreSongs) {
  EXPECT_EQ(recognise(audiotest::trackerSong()), SongFormat::kMod);
  EXPECT_EQ(recognise(audiotest::midiNote()), SongFormat::kMidi);
  for (const char* sig : {"M.K.", "M!K!", "FLT4", "6CHN", "8CHN", "16CH", "32CN", "CD81", "OCTA"})
    EXPECT_EQ(recognise(withModSignature(sig)), SongFormat::kMod) << sig;
  for (const char* sig : {"0CHN", "00CH", "M.K ", "XCHN", "\0\0\0\0"})
    EXPECT_EQ(recognise(withModSignature(sig)), SongFormat::kNone) << sig;
  // One byte short of the signature is nothing.
  EXPECT_EQ(recognise(withModSignature("M.K.").substr(0, 1083)), SongFormat::kNone);

  std::string xm = "Extended Module: " + std::string(20, ' ') + "\x1a" + std::string(40, '\0');
  EXPECT_EQ(recognise(xm), SongFormat::kXm);
  xm[37] = ' ';
  EXPECT_EQ(recognise(xm), SongFormat::kNone);
  std::string s3m(96, '\0');
  s3m.replace(44, 4, "SCRM");
  s3m[29] = 16;
  EXPECT_EQ(recognise(s3m), SongFormat::kS3m);
  s3m[29] = 17;
  EXPECT_EQ(recognise(s3m), SongFormat::kNone);
  EXPECT_EQ(recognise("IMPM"), SongFormat::kIt);
  EXPECT_EQ(recognise(std::string("MThd\0\0\0\7", 8) + std::string(10, '\0')), SongFormat::kNone);
  EXPECT_EQ(recognise(std::string("\x1f\x8b\x08\0", 4) + xm), SongFormat::kNone);  // packed
  EXPECT_EQ(recognise(""), SongFormat::kNone);
  std::uint8_t head[kSongHeadBytes];
  EXPECT_EQ(readFileHead("/dev/zero", head), -1) << "a device is never read";
}

TEST(SongHeaders, StreamMarkersAnywhereInAnyCase) {
  for (const char* name : {"theme.mp3", "THEME.MP3", "a.Wav.bak", "dir.WMA/x", "x.asf", "y.raw", "z.mp2"})
    EXPECT_TRUE(hasStreamMarker(name)) << name;
  for (const char* name : {"theme.ogg", "song.mid", "wav", "mp3.", "x.flac", ""})
    EXPECT_FALSE(hasStreamMarker(name)) << name;
}

namespace {

bool streamHead(const std::string& bytes) {
  return looksLikeStream(reinterpret_cast<const std::uint8_t*>(bytes.data()), std::min<std::size_t>(bytes.size(), kSongHeadBytes));
}

std::string corpusFile(const std::string& name) {
  return krtest::readFile(std::string(KR_SOURCE_DIR) + "/tests/corpus/audio/" + name);
}

}  // namespace

// PlayMusic checks these formats from the head alone; anything else goes to the
// decoder library's header parser, and a damaged header never takes the fast way.
TEST(StreamHeaders, CommonFormatsAreKnownFromTheirHeadAlone) {
  for (const char* name : {"seed_stereo.wav", "seed_mono.wav", "seed_float.wav", "seed_six.wav", "seed.flac", "seed.ogg"})
    EXPECT_TRUE(streamHead(corpusFile(name))) << name;
  // Formats left to the library's parser.
  for (const char* name : {"seed.aiff", "seed.au", "seed_adpcm.wav"}) EXPECT_FALSE(streamHead(corpusFile(name))) << name;
  krtest::TempDir dir;
  audiotest::writeTone(dir.file("tone.mp3"), SF_FORMAT_MPEG, 440, 0.3);
  EXPECT_TRUE(streamHead(krtest::readFile(dir.file("tone.mp3"))));

  std::string wav = corpusFile("seed_stereo.wav");
  ASSERT_GT(wav.size(), 44u);
  ASSERT_EQ(wav.substr(12, 4), "fmt ");
  auto patched = [&](std::size_t at, std::string bytes) { return std::string(wav).replace(at, bytes.size(), bytes); };
  EXPECT_FALSE(streamHead(patched(22, std::string("\0\0", 2)))) << "no channels";
  EXPECT_FALSE(streamHead(patched(24, std::string("\0\0\0\0", 4)))) << "zero rate";
  EXPECT_FALSE(streamHead(patched(24, "\xff\xff\xff\x7f"))) << "absurd rate";
  EXPECT_FALSE(streamHead(patched(20, "\x34\x12"))) << "unknown format tag";
  EXPECT_FALSE(streamHead(patched(0, "RIFX"))) << "big-endian";
  EXPECT_FALSE(streamHead(wav.substr(0, 30))) << "format chunk cut off";
  EXPECT_FALSE(streamHead(patched(16, "\xff\xff\xff\x7f"))) << "chunk size past the head";
  EXPECT_FALSE(streamHead("OggS" + std::string(200, '\x55')));
  EXPECT_FALSE(streamHead("fLaC" + std::string(200, '\x55')));
  EXPECT_FALSE(streamHead(std::string("ID3\x03\0\0\x80\0\0\0", 10) + std::string(100, '\0'))) << "size not syncsafe";
  EXPECT_FALSE(streamHead(std::string("\xff\xfb\xf0\x64", 4) + std::string(2000, '\0'))) << "bitrate index 15";
  EXPECT_FALSE(streamHead(std::string("\xff\xfb\x90\x64", 4) + std::string(2000, '\0'))) << "no second frame";
  EXPECT_FALSE(streamHead(""));

  EXPECT_FALSE(streamHead(patched(16, "\x11"))) << "odd format chunk size";
}

TEST(EngineScale, VolumesAndPansAreClampedAndNaNIsIgnored) {
  int v = -1;
  EXPECT_TRUE(volumeScale(0.5f, v));
  EXPECT_EQ(v, 127);
  EXPECT_TRUE(volumeScale(1.0f, v));
  EXPECT_EQ(v, 255);
  EXPECT_TRUE(volumeScale(0.0f, v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(volumeScale(1e30f, v));
  EXPECT_EQ(v, 255);
  EXPECT_TRUE(volumeScale(-std::numeric_limits<float>::infinity(), v));
  EXPECT_EQ(v, 0);
  v = 42;
  EXPECT_FALSE(volumeScale(std::nanf(""), v));
  EXPECT_EQ(v, 42);

  int p = -1;
  for (auto [pan, scale] : {std::pair<float, int>{-1.0f, 0}, {0.0f, 127}, {1.0f, 255}, {-1e30f, 0}, {1e30f, 255}}) {
    EXPECT_TRUE(panScale(pan, p));
    EXPECT_EQ(p, scale) << pan;
  }
  EXPECT_FALSE(panScale(std::nanf(""), p));
  EXPECT_EQ(p, 255);
}

TEST(EngineScale, SixChannelsMixDownToTwo) {
  const std::int16_t frames[2 * 6] = {600, 60, 300, 30, 0, 0, -300, 30, -300, 30, -300, 30};
  std::int16_t out[4];
  downmixToStereo(frames, 6, 2, out);
  EXPECT_EQ(out[0], 300);
  EXPECT_EQ(out[1], 30);
  EXPECT_EQ(out[2], -300);
  EXPECT_EQ(out[3], 30);
  const std::int16_t three[3] = {100, 50, 300};
  downmixToStereo(three, 3, 1, out);
  EXPECT_EQ(out[0], 200);
  EXPECT_EQ(out[1], 50);
}

// Samples are decoded into memory that is not cleared first: what the file
// holds comes out exactly, and nothing past its end, whatever the header claims.
TEST(SampleDecoding, AnOverclaimingDataChunkGivesWhatIsThereExactly) {
  auto le = [](std::uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
  };
  const int frames = 3000;
  std::string data;
  for (int i = 0; i < frames * 2; ++i) data += le(static_cast<std::uint16_t>(i * 7 - 9000), 2);
  for (std::uint32_t claim : {static_cast<std::uint32_t>(data.size()), 1u << 20, 0x7FFFFFF0u}) {
    std::string wav = "RIFF" + le(36 + claim, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(2, 2) + le(22050, 4) +
                      le(22050 * 4, 4) + le(4, 2) + le(16, 2) + "data" + le(claim, 4) + data;
    Pcm pcm;
    ASSERT_TRUE(decodeSoundBytes(reinterpret_cast<const std::uint8_t*>(wav.data()), wav.size(), pcm)) << claim;
    EXPECT_EQ(pcm.rate, 22050);
    ASSERT_EQ(pcm.channels, 2);
    ASSERT_EQ(pcm.frames(), frames) << claim;
    for (int i = 0; i < frames * 2; ++i)
      ASSERT_EQ(pcm.samples[i], static_cast<std::int16_t>(i * 7 - 9000)) << claim << " sample " << i;
  }
}

// Set only in sanitizer builds: allocations made between them are not leaks.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

TEST(AudioCorpus, KeptFuzzInputsAreRefusedOrDecodedSafely) {
  std::string dir = std::string(KR_SOURCE_DIR) + "/tests/corpus/audio";
  DIR* d = opendir(dir.c_str());
  ASSERT_NE(d, nullptr);
  int seeds = 0;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name[0] == '.') continue;
    std::string bytes = krtest::readFile(dir + "/" + name);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    recogniseSong(data, bytes.size());
    Pcm pcm;
    // libsndfile leaks libvorbis state on some damaged Ogg files; not ours to free.
    if (__lsan_disable) __lsan_disable();
    bool decoded = decodeSoundBytes(data, bytes.size(), pcm);
    if (__lsan_enable) __lsan_enable();
    if (name.rfind("seed", 0) == 0) {
      ++seeds;
      EXPECT_TRUE(decoded) << name;
      EXPECT_GT(pcm.frames(), 0) << name;
      EXPECT_LE(pcm.channels, 2) << name;
    }
  }
  closedir(d);
  EXPECT_GE(seeds, 9);
}
