// The decoder process: songs and streams are decoded in a helper process
// (krdecode) so that a damaged file can crash or hang only that process. The
// runtime writes one request on a socket; the helper answers with the format it
// decodes and then writes interleaved 16-bit PCM until the end, then exits.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kr {
namespace audio {

// What a decoder tries on a file, in the order the request gives.
enum class DecodeKind : std::uint32_t { kStream = 1, kTracker = 2, kMidi = 3 };

constexpr std::uint32_t kDecodeMagic = 0x4B524443;  // "CDRK"
constexpr int kMaxDecodeKinds = 4;
constexpr std::uint32_t kMaxDecodePath = 4096;

struct DecodeRequest {
  std::uint32_t magic;
  std::uint32_t kindCount;
  std::uint32_t kinds[kMaxDecodeKinds];
  std::uint32_t pathBytes;  // the host path follows
};

struct DecodeReply {
  std::uint32_t magic;
  std::int32_t kind;  // the kind that accepted the file; 0: none did
  std::int32_t rate;
  std::int32_t channels;  // 1 or 2
};

struct DecoderProcess {
  pid_t pid = -1;
  int fd = -1;  // the runtime's end of the socket, non-blocking
  bool running() const { return pid > 0; }
};

// Starts krdecode with its end of a fresh socket. !running() when it cannot.
DecoderProcess spawnDecoder();
// Kills it (if still running), reaps it and closes the socket.
void endDecoder(DecoderProcess& process);
// Kills it and closes the socket without waiting for it to go: its pid joins
// dying, for reapDecoders.
void abandonDecoder(DecoderProcess& process, std::vector<pid_t>& dying);
// Reaps the dying decoders that have exited; with wait, all of them.
void reapDecoders(std::vector<pid_t>& dying, bool wait);
bool sendDecodeRequest(const DecoderProcess& process, const std::string& hostPath,
                       const std::vector<std::uint32_t>& kinds);
// Reads the reply when it is there: 1 read, 0 not yet, -1 the decoder is gone
// or answered nonsense.
int readDecodeReply(const DecoderProcess& process, DecodeReply& reply);

std::string decoderExecutable();

}  // namespace audio
}  // namespace kr
