// Telling music files apart: the stream markers of names, and the song headers
// the runtime recognises itself before any song loader sees a file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kr {
namespace audio {

enum class SongFormat { kNone, kMod, kS3m, kXm, kIt, kMidi };

// A MOD's signature sits at byte 1080; every other header is nearer the start.
constexpr std::size_t kSongHeadBytes = 1084;

SongFormat recogniseSong(const std::uint8_t* head, std::size_t size);

// Reads up to kSongHeadBytes from the start of a regular file (never a device
// or a pipe). -1 when it is missing, unreadable or not a regular file.
int readFileHead(const std::string& hostPath, std::uint8_t (&head)[kSongHeadBytes]);

// True for the common stream headers whose format and values can be checked
// from the head alone: PCM or float WAV, FLAC, Ogg Vorbis or Opus, MP3 frames
// or an ID3 tag. False means "ask the decoder library", not "unplayable".
bool looksLikeStream(const std::uint8_t* head, std::size_t size);

// True when the name contains ".raw", ".wav", ".mp2", ".mp3", ".wma" or ".asf"
// anywhere, in any letter case.
bool hasStreamMarker(const std::string& name);

}  // namespace audio
}  // namespace kr
