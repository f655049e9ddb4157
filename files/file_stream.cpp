#define _FILE_OFFSET_BITS 64
#include "files/file_stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kr {

FileStream::FileStream(int fd, bool canRead, bool canWrite)
    : fd_(fd), canRead_(canRead), canWrite_(canWrite), buffer_(new std::uint8_t[kBufferSize]) {}

FileStream::~FileStream() {
  settle();
  ::close(fd_);
}

long FileStream::systemRead(void* dst, std::size_t n, std::int64_t at) {
  ++systemReads_;
  for (;;) {
    ssize_t r = ::pread(fd_, dst, n, at);
    if (r >= 0 || errno != EINTR) return r;
  }
}

std::size_t FileStream::systemWrite(const void* src, std::size_t n, std::int64_t at) {
  const std::uint8_t* p = static_cast<const std::uint8_t*>(src);
  std::size_t done = 0;
  while (done < n) {
    ssize_t w = ::pwrite(fd_, p + done, n - done, at + static_cast<std::int64_t>(done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<std::size_t>(w);
  }
  return done;
}

void FileStream::settle() {
  if (mode_ == kWriting && cursor_ > 0 && systemWrite(buffer_.get(), cursor_, bufferStart_) < cursor_)
    failed_ = true;
  bufferStart_ += static_cast<std::int64_t>(cursor_);
  cursor_ = end_ = 0;
  mode_ = kIdle;
}

void FileStream::flush() {
  if (mode_ == kWriting) settle();
}

bool FileStream::fill() {
  long r = systemRead(buffer_.get(), kBufferSize, bufferStart_);
  if (r <= 0) return false;
  mode_ = kReading;
  cursor_ = 0;
  end_ = static_cast<std::size_t>(r);
  return true;
}

std::int64_t FileStream::fileSize() {
  flush();
  struct stat st;
  return ::fstat(fd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

bool FileStream::seek(std::int64_t pos) {
  if (pos < 0) {
    failed_ = true;
    return false;
  }
  std::int64_t offset = pos - bufferStart_;
  if (mode_ == kReading && offset >= 0 && offset <= static_cast<std::int64_t>(end_)) {
    cursor_ = static_cast<std::size_t>(offset);  // stays within the read-ahead
  } else {
    settle();
    bufferStart_ = pos;
  }
  return !failed_;
}

std::size_t FileStream::read(void* dst, std::size_t n) {
  if (failed_ || !canRead_) {
    failed_ = true;
    return 0;
  }
  std::uint8_t* out = static_cast<std::uint8_t*>(dst);
  std::size_t done = 0;
  while (done < n) {
    if (mode_ == kReading && cursor_ < end_) {
      std::size_t k = std::min(n - done, end_ - cursor_);
      std::memcpy(out + done, buffer_.get() + cursor_, k);
      cursor_ += k;
      done += k;
      continue;
    }
    settle();
    if (n - done >= kBufferSize) {  // large transfers bypass the buffer
      long r = systemRead(out + done, n - done, bufferStart_);
      if (r <= 0) break;
      bufferStart_ += r;
      done += static_cast<std::size_t>(r);
    } else if (!fill()) {
      break;
    }
  }
  if (done < n) failed_ = true;
  return done;
}

int FileStream::readByteSlow() {
  std::uint8_t b = 0;
  read(&b, 1);
  return b;
}

int FileStream::peek() {
  if (failed_ || !canRead_) return -1;
  if (mode_ == kReading && cursor_ < end_) return buffer_[cursor_];
  settle();
  return fill() ? buffer_[0] : -1;
}

bool FileStream::atEnd() {
  if (peek() >= 0) return false;
  failed_ = true;
  return true;
}

std::string FileStream::readLine() {
  std::string line;
  for (;;) {
    if (peek() < 0) {  // the read that fails here counts as a failed read
      failed_ = true;
      return line;
    }
    const std::uint8_t* start = buffer_.get() + cursor_;
    const std::uint8_t* stop = buffer_.get() + end_;
    const std::uint8_t* p = start;
    while (p < stop && *p != '\n' && *p != '\r') ++p;
    line.append(reinterpret_cast<const char*>(start), static_cast<std::size_t>(p - start));
    cursor_ = static_cast<std::size_t>(p - buffer_.get());
    if (p == stop) continue;
    ++cursor_;
    if (*p == '\r' && peek() == '\n') ++cursor_;  // peek left the LF at the cursor
    return line;
  }
}

bool FileStream::readCounted(std::int32_t n, std::string& out) {
  out.clear();
  if (failed_ || !canRead_ || n < 0) {
    failed_ = true;
    return false;
  }
  std::size_t buffered = mode_ == kReading ? end_ - cursor_ : 0;
  if (static_cast<std::size_t>(n) > buffered) {
    std::int64_t size = fileSize();
    if (n > size - position()) {
      std::int64_t end = std::max(size, position());
      settle();
      bufferStart_ = end;
      failed_ = true;
      return false;
    }
  }
  out.resize(static_cast<std::size_t>(n));
  if (read(&out[0], out.size()) == out.size()) return true;
  out.clear();
  return false;
}

void FileStream::write(const void* src, std::size_t n) {
  if (failed_) return;
  if (!canWrite_) {
    failed_ = true;
    return;
  }
  if (n == 0) return;
  if (mode_ != kWriting || cursor_ + n > kBufferSize) {
    settle();
    if (failed_) return;
    mode_ = kWriting;
  }
  if (n >= kBufferSize) {  // large transfers bypass the buffer
    std::size_t done = systemWrite(src, n, bufferStart_);
    bufferStart_ += static_cast<std::int64_t>(done);
    if (done < n) failed_ = true;
    mode_ = kIdle;
    return;
  }
  std::memcpy(buffer_.get() + cursor_, src, n);
  cursor_ += n;
  end_ = cursor_;
}

}  // namespace kr
