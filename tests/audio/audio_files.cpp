#include "tests/audio/audio_files.h"

#include <cmath>
#include <fstream>

namespace audiotest {

void writeTone(const std::string& path, int format, double hertz, double seconds, int rate, int channels,
               double amplitude) {
  SF_INFO info = {};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format | (format == SF_FORMAT_OGG ? SF_FORMAT_VORBIS
                          : format == SF_FORMAT_MPEG ? SF_FORMAT_MPEG_LAYER_III
                                                     : SF_FORMAT_PCM_16);
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return;
  std::size_t frames = static_cast<std::size_t>(seconds * rate);
  std::vector<short> data(frames * channels);
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      data[i * channels + c] = static_cast<short>(32767 * amplitude * std::sin(2 * M_PI * hertz * i / rate));
  sf_writef_short(f, data.data(), static_cast<sf_count_t>(frames));
  sf_close(f);
}

namespace {

void put16be(std::string& s, int v) {
  s += static_cast<char>(v >> 8);
  s += static_cast<char>(v);
}
void put32be(std::string& s, std::uint32_t v) {
  put16be(s, static_cast<int>(v >> 16));
  put16be(s, static_cast<int>(v & 0xFFFF));
}

}  // namespace

std::string trackerSong() {
  std::string m(20, '\0');  // title
  for (int i = 0; i < 31; ++i) {
    std::string sample(30, '\0');
    if (i == 0) {
      sample[22] = 0, sample[23] = 16;  // length in words: 32 bytes
      sample[25] = 64;                  // volume
      sample[26] = 0, sample[27] = 0;   // loop start
      sample[28] = 0, sample[29] = 16;  // loop length: the whole cycle
    } else {
      sample[29] = 1;  // no loop
    }
    m += sample;
  }
  m += static_cast<char>(1);    // one position
  m += static_cast<char>(127);
  m += std::string(128, '\0');  // order: pattern 0
  m += "M.K.";
  std::string pattern(64 * 4 * 4, '\0');
  auto note = [&](int row, int channel, int period, int instrument, int effect, int param) {
    std::size_t at = static_cast<std::size_t>((row * 4 + channel) * 4);
    pattern[at] = static_cast<char>((instrument & 0xF0) | (period >> 8));
    pattern[at + 1] = static_cast<char>(period & 0xFF);
    pattern[at + 2] = static_cast<char>(((instrument & 0x0F) << 4) | effect);
    pattern[at + 3] = static_cast<char>(param);
  };
  note(0, 0, 428, 1, 0, 0);
  note(7, 1, 0, 0, 0xD, 0);  // pattern break: eight rows, then the song is over
  m += pattern;
  for (int i = 0; i < 32; ++i) m += static_cast<char>(i < 16 ? 80 : -80);
  return m;
}

double trackerNoteHertz() { return 7093789.2 / (428 * 2) / 32; }

std::string midiNote() {
  std::string track;
  auto event = [&](int delta, std::initializer_list<int> bytes) {
    if (delta >= 128) track += static_cast<char>(0x80 | (delta >> 7));
    track += static_cast<char>(delta & 0x7F);
    for (int b : bytes) track += static_cast<char>(b);
  };
  event(0, {0xC0, 0});         // piano
  event(0, {0x90, 69, 110});   // A4 on
  event(240, {0x80, 69, 0});   // off half a second later (480 ticks a beat, 120 bpm)
  event(0, {0xFF, 0x2F, 0});   // end of track
  std::string m = "MThd";
  put32be(m, 6);
  put16be(m, 0);
  put16be(m, 1);
  put16be(m, 240);  // ticks per beat: 240 ticks = half a second
  m += "MTrk";
  put32be(m, static_cast<std::uint32_t>(track.size()));
  return m + track;
}

Recording readRecording(const std::string& path) {
  Recording r;
  SF_INFO info = {};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f || info.channels != 2) {
    if (f) sf_close(f);
    return r;
  }
  std::vector<float> data(static_cast<std::size_t>(info.frames) * 2);
  sf_count_t n = sf_readf_float(f, data.data(), info.frames);
  sf_close(f);
  r.rate = info.samplerate;
  for (sf_count_t i = 0; i < n; ++i) {
    r.left.push_back(data[2 * i]);
    r.right.push_back(data[2 * i + 1]);
  }
  return r;
}

std::vector<Segment> segments(const Recording& r, double minGapSeconds) {
  std::vector<Segment> out;
  const float kQuiet = 0.003f;
  std::size_t gap = static_cast<std::size_t>(minGapSeconds * r.rate);
  std::size_t lastLoud = 0;
  bool in = false;
  for (std::size_t i = 0; i < r.left.size(); ++i) {
    bool loud = std::fabs(r.left[i]) > kQuiet || std::fabs(r.right[i]) > kQuiet;
    if (loud) {
      if (!in || i - lastLoud > gap) {
        if (in) out.back().end = lastLoud + 1;
        out.push_back(Segment{i, i + 1});
        in = true;
      }
      lastLoud = i;
    }
  }
  if (in) out.back().end = lastLoud + 1;
  return out;
}

double rms(const std::vector<float>& channel, std::size_t start, std::size_t end) {
  double sum = 0;
  for (std::size_t i = start; i < end; ++i) sum += channel[i] * channel[i];
  return end > start ? std::sqrt(sum / static_cast<double>(end - start)) : 0.0;
}

double pitchHertz(const Recording& r, std::size_t start, std::size_t end) {
  std::vector<double> x;
  for (std::size_t i = start; i < end && i < r.left.size(); ++i) x.push_back(r.left[i] + r.right[i]);
  std::size_t minLag = static_cast<std::size_t>(r.rate / 2000), maxLag = static_cast<std::size_t>(r.rate / 50);
  if (x.size() < 2 * maxLag) return 0;
  std::vector<double> corr(maxLag + 1, 0.0);
  double best = 0;
  for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
    double c = 0;
    for (std::size_t i = 0; i + lag < x.size(); ++i) c += x[i] * x[i + lag];
    corr[lag] = c / static_cast<double>(x.size() - lag);
    best = std::max(best, corr[lag]);
  }
  // The first peak close to the best one is the period (not a multiple of it).
  for (std::size_t lag = minLag + 1; lag < maxLag; ++lag) {
    if (corr[lag] >= 0.9 * best && corr[lag] >= corr[lag - 1] && corr[lag] >= corr[lag + 1]) {
      double a = corr[lag - 1], b = corr[lag], c = corr[lag + 1];
      double denom = a - 2 * b + c;
      double shift = denom != 0 ? 0.5 * (a - c) / denom : 0.0;
      return r.rate / (static_cast<double>(lag) + shift);
    }
  }
  return 0;
}

double largestStep(const std::vector<float>& channel, std::size_t start, std::size_t end) {
  double step = 0;
  for (std::size_t i = start + 1; i < end && i < channel.size(); ++i)
    step = std::max(step, static_cast<double>(std::fabs(channel[i] - channel[i - 1])));
  return step;
}

std::vector<Tone> toneSequence(const Recording& r) {
  std::vector<Tone> tones;
  const std::size_t window = static_cast<std::size_t>(r.rate / 20);
  bool silence = true;
  for (std::size_t at = 0; at + window <= r.left.size(); at += window) {
    double level = (rms(r.left, at, at + window) + rms(r.right, at, at + window)) / 2;
    if (level < 0.01) {
      silence = true;
      continue;
    }
    double hz = pitchHertz(r, at, at + window);
    if (hz <= 0) continue;  // a silence before it still counts for the next window
    bool afterSilence = silence;
    silence = false;
    if (!afterSilence && !tones.empty() && std::fabs(tones.back().hertz - hz) < 0.05 * hz) {
      Tone& t = tones.back();
      t.level = std::max(t.level, level);
      t.seconds += 0.05;
      t.windows.push_back(hz);
    } else {
      tones.push_back(Tone{hz, 0.05, level, afterSilence, {hz}});
    }
  }
  // Windows that straddle two tones measure neither: drop such stray ones.
  std::vector<Tone> kept;
  bool silenceBefore = false;  // a dropped window may have been the one after a silence
  for (const Tone& t : tones) {
    silenceBefore = silenceBefore || t.afterSilence;
    if (t.seconds < 0.06) continue;
    bool separate = silenceBefore;
    silenceBefore = false;
    if (!kept.empty() && !separate && std::fabs(kept.back().hertz - t.hertz) < 0.05 * t.hertz) {
      kept.back().seconds += t.seconds;
      kept.back().level = std::max(kept.back().level, t.level);
      kept.back().windows.insert(kept.back().windows.end(), t.windows.begin(), t.windows.end());
    } else {
      kept.push_back(t);
    }
  }
  for (Tone& t : kept) {
    std::vector<double> w = t.windows;
    std::nth_element(w.begin(), w.begin() + w.size() / 2, w.end());
    t.hertz = w[w.size() / 2];
  }
  return kept;
}

std::string waveConfig(const std::string& confPath, const std::string& outFile) {
  std::ofstream conf(confPath);
  conf << "[general]\nfrequency = 44100\nchannels = stereo\nsample-type = int16\nhrtf = false\n"
          "stereo-mode = speakers\ndither = false\noutput-limiter = false\n\n[wave]\nfile = "
       << outFile << "\n";
  return "ALSOFT_CONF=" + confPath;
}

}  // namespace audiotest
