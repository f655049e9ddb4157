// One open file: buffered reads and writes through a single position, and a
// sticky error state that is set by the first read or write that cannot be
// completed and stays set until the file is closed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kr {

class FileStream {
 public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  // Takes ownership of fd.
  FileStream(int fd, bool canRead, bool canWrite);
  ~FileStream();  // writes what is buffered, then closes
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  bool failed() const { return failed_; }
  std::int64_t position() const { return bufferStart_ + cursor_; }

  // Moves the position; a negative one fails. True when the error state is clear.
  bool seek(std::int64_t pos);

  // Reads up to n bytes; fewer than n (or an error state already set) sets it.
  std::size_t read(void* dst, std::size_t n);
  int readByte() {  // 0..255; 0 when nothing could be read
    if (mode_ == kReading && cursor_ < end_ && !failed_) return buffer_[cursor_++];
    return readByteSlow();
  }
  // The next byte without consuming it, or -1 when there is none. Leaves the
  // error state alone.
  int peek();
  // True when no further byte can be read; at the end this sets the error state.
  bool atEnd();

  // A line ended by CR LF, LF, a lone CR or the end of the file.
  std::string readLine();
  // Exactly n bytes into out. A negative n or one beyond the end of the file
  // reads nothing, moves to the end and sets the error state.
  bool readCounted(std::int32_t n, std::string& out);

  void write(const void* src, std::size_t n);
  void writeByte(int value) {
    if (mode_ == kWriting && cursor_ < kBufferSize && !failed_) {
      buffer_[cursor_++] = static_cast<std::uint8_t>(value);
      end_ = cursor_;
      return;
    }
    std::uint8_t b = static_cast<std::uint8_t>(value);
    write(&b, 1);
  }

  // Hands buffered writes to the system (whole-file operations look at the disk).
  void flush();

  // System read calls made so far: reading byte by byte must not make one per byte.
  std::uint32_t systemReads() const { return systemReads_; }

 private:
  enum Mode { kIdle, kReading, kWriting };

  int readByteSlow();
  void settle();  // back to kIdle: pending writes go out, read-ahead is dropped
  bool fill();    // from kIdle: read ahead at the position
  long systemRead(void* dst, std::size_t n, std::int64_t at);
  std::size_t systemWrite(const void* src, std::size_t n, std::int64_t at);
  std::int64_t fileSize();

  int fd_;
  bool canRead_;
  bool canWrite_;
  bool failed_ = false;
  Mode mode_ = kIdle;
  std::int64_t bufferStart_ = 0;  // file offset of buffer_[0]
  std::size_t cursor_ = 0;        // position within the buffer
  std::size_t end_ = 0;           // bytes of the buffer in use
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint32_t systemReads_ = 0;
};

}  // namespace kr
