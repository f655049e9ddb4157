#include "library/string_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "lang/kr_string.h"
#include "runtime/errors.h"

namespace kr {

namespace {

// Replace builds its result here and assigns it to the argument record; the
// buffers are reused from call to call.
std::string gScratch;
// Bytes still to be scanned by Replace, kept reversed (next byte at the back).
std::string gPending;
constexpr std::size_t kBufferKeep = 1 << 20;

void dropLargeBuffers() {
  if (gScratch.capacity() > kBufferKeep) std::string().swap(gScratch);
  if (gPending.capacity() > kBufferKeep) std::string().swap(gPending);
}

[[noreturn]] void outOfMemory(krString* s) {
  krStringDelete(s);
  dropLargeBuffers();
  raiseRuntimeError("Out of memory");
}

// Builders call this before growing a text; the caller turns it into "Out of memory".
void requireLength(unsigned long long length) {
  if (length > kMaxStringLength) throw std::length_error("text too long");
}

// A null temporary reads as "": commands that return their argument need a record.
krString* own(krString* s) { return s ? s : krStringNew("", 0); }

// Runs build(text, length, out) and makes out the new text of s.
template <typename Build>
krString* rebuild(krString* s, Build build) {
  bool exhausted = false;
  try {
    gScratch.clear();
    build(krStringData(s), krStringLength(s), gScratch);
    krStringAssign(s, gScratch.data(), gScratch.size());
  } catch (const std::bad_alloc&) {
    exhausted = true;
  } catch (const std::length_error&) {
    exhausted = true;
  }
  if (exhausted) outOfMemory(s);
  dropLargeBuffers();
  return s;
}

krString* keepRange(krString* s, std::size_t first, std::size_t count) {
  s = own(s);
  if (first == 0)
    krStringResize(s, count);
  else
    krStringAssign(s, krStringData(s) + first, count);
  return s;
}

// Grows s to length bytes (its text kept at the front) or raises "Out of memory".
char* growTo(krString* s, unsigned long long length) {
  if (length > kMaxStringLength) outOfMemory(s);
  return krStringResize(s, static_cast<std::size_t>(length));
}

template <typename Map>
krString* mapBytes(krString* s, Map map) {
  s = own(s);
  char* text = krStringMutableData(s);
  for (std::size_t i = 0, n = krStringLength(s); i < n; ++i) text[i] = map(text[i]);
  return s;
}

void requireNotNegative(int value) {
  if (value < 0) raiseRuntimeError("parameter must be positive");
}

void requireAtLeastOne(int value) {
  if (value < 1) raiseRuntimeError("parameter must be greater than 0");
}

// Each occurrence of from in the original text is replaced once, left to right.
void replaceOnce(const char* text, std::size_t length, std::string_view from, std::string_view to,
                 std::string& out) {
  std::size_t i = 0;
  while (const void* hit = memmem(text + i, length - i, from.data(), from.size())) {
    std::size_t at = static_cast<const char*>(hit) - text;
    requireLength(static_cast<unsigned long long>(out.size()) + (at - i) + to.size());
    out.append(text + i, at - i).append(to);
    i = at + from.size();
  }
  out.append(text + i, length - i);
}

// The same single pass for a to no longer than from, done within s: the write
// position never passes the read position.
void replaceOnceInPlace(krString* s, std::string_view from, std::string_view to) {
  char* text = krStringMutableData(s);
  const std::size_t length = krStringLength(s);
  std::size_t read = 0, write = 0;
  while (const void* hit = memmem(text + read, length - read, from.data(), from.size())) {
    std::size_t at = static_cast<const char*>(hit) - text;
    std::memmove(text + write, text + read, at - read);
    write += at - read;
    std::memcpy(text + write, to.data(), to.size());
    write += to.size();
    read = at + from.size();
  }
  std::memmove(text + write, text + read, length - read);
  krStringResize(s, write + (length - read));
}

// Repeatedly replaces the first occurrence of from, searching the whole current
// text each time, so a replacement that forms a new occurrence is replaced too
// ("aab" with "ab" -> "b" gives "b"). Bytes move from the input (or the pending
// replacement text) onto out one by one; out never holds an occurrence, so the
// first occurrence is the first time out ends with from.
void replaceRepeatedly(const char* text, std::size_t length, std::string_view from, std::string_view to,
                       std::string& out) {
  const std::size_t m = from.size();
  const char last = from.back();
  gPending.clear();
  std::size_t i = 0;
  for (;;) {
    if (gPending.empty()) {
      // No occurrence can end on a byte other than from's last byte.
      const void* hit = std::memchr(text + i, last, length - i);
      std::size_t stop = hit ? static_cast<const char*>(hit) - text : length;
      out.append(text + i, stop - i);
      if (stop == length) break;
      out.push_back(text[stop]);
      i = stop + 1;
    } else {
      out.push_back(gPending.back());
      gPending.pop_back();
    }
    if (out.back() == last && out.size() >= m && std::memcmp(out.data() + out.size() - m, from.data(), m) == 0) {
      out.resize(out.size() - m);
      requireLength(static_cast<unsigned long long>(out.size()) + gPending.size() + to.size() + (length - i));
      gPending.append(to.rbegin(), to.rend());
    }
  }
}

// True when a replacement could form a new occurrence of from together with
// the text around it: some placement of from that overlaps to (or, for an empty
// to, spans the place where it was) agrees with to on every shared byte. When
// none does, one left-to-right pass gives what repeated searching would.
bool canFormNewOccurrence(std::string_view from, std::string_view to) {
  const long long m = static_cast<long long>(from.size()), n = static_cast<long long>(to.size());
  if (n == 0) return m > 1;
  if (m * n > (1LL << 16)) return true;  // not worth the check: take the general path
  for (long long offset = 1 - m; offset < n; ++offset) {
    bool agrees = true;
    for (long long i = std::max(0LL, -offset); agrees && i < m && offset + i < n; ++i)
      agrees = from[i] == to[offset + i];
    if (agrees) return true;
  }
  return false;
}

// Replaces in a text known to hold from. A to that contains from would make
// repeated searching run for ever, so then each original occurrence is
// replaced once; so it is, more cheaply, when no new occurrence can form.
krString* replaceIn(krString* s, std::string_view from, std::string_view to) {
  bool onePass = to.find(from) != std::string_view::npos || !canFormNewOccurrence(from, to);
  if (onePass && to.size() <= from.size()) {
    replaceOnceInPlace(s, from, to);
    return s;
  }
  return rebuild(s, [&](const char* text, std::size_t length, std::string& out) {
    if (onePass)
      replaceOnce(text, length, from, to, out);
    else
      replaceRepeatedly(text, length, from, to, out);
  });
}

krString* withText(const char* text) { return krStringNew(text, std::strlen(text)); }

}  // namespace

krString* strRepeat(krString* s, int repeat) {
  s = own(s);
  std::size_t length = krStringLength(s);
  unsigned long long total = repeat > 0 ? static_cast<unsigned long long>(length) * repeat : 0;
  char* text = growTo(s, total);
  for (std::size_t done = length; done < total;) {  // doubling copies within the record
    std::size_t chunk = static_cast<std::size_t>(std::min<unsigned long long>(done, total - done));
    std::memcpy(text + done, text, chunk);
    done += chunk;
  }
  return s;
}

krString* strLeft(krString* s, int count) {
  requireNotNegative(count);
  std::size_t length = krStringLength(s);
  return keepRange(s, 0, std::min<std::size_t>(count, length));
}

krString* strRight(krString* s, int count) {
  requireNotNegative(count);
  std::size_t length = krStringLength(s);
  std::size_t kept = std::min<std::size_t>(count, length);
  return keepRange(s, length - kept, kept);
}

krString* strMid(krString* s, int start, int count) {
  requireAtLeastOne(start);
  std::size_t length = krStringLength(s);
  std::size_t first = std::min<std::size_t>(static_cast<std::size_t>(start) - 1, length);
  std::size_t rest = length - first;
  return keepRange(s, first, count < 0 ? rest : std::min<std::size_t>(count, rest));
}

// An empty from leaves the text as it is.
krString* strReplace(krString* s, krString* fromArg, krString* toArg) {
  std::string_view from(krStringData(fromArg), krStringLength(fromArg));
  std::string_view to(krStringData(toArg), krStringLength(toArg));
  krString* result = own(s);
  std::string_view text(krStringData(result), krStringLength(result));
  if (!from.empty() && text.find(from) != std::string_view::npos) result = replaceIn(result, from, to);
  krStringDelete(fromArg);
  krStringDelete(toArg);
  return result;
}

int strInstr(krString* s, krString* find, int from) {
  requireAtLeastOne(from);
  std::size_t start = static_cast<std::size_t>(from) - 1;
  std::size_t length = krStringLength(s);
  std::size_t findLength = krStringLength(find);
  int position = 0;
  if (start <= length) {
    if (findLength == 0) {
      position = from;
    } else if (const void* hit = memmem(krStringData(s) + start, length - start, krStringData(find), findLength)) {
      position = static_cast<int>(static_cast<const char*>(hit) - krStringData(s)) + 1;
    }
  }
  krStringDelete(s);
  krStringDelete(find);
  return position;
}

krString* strUpper(krString* s) {
  return mapBytes(s, [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
}

krString* strLower(krString* s) {
  return mapBytes(s, [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
}

krString* strTrim(krString* s) {
  auto graphic = [](char c) { return static_cast<unsigned char>(c) >= 33 && static_cast<unsigned char>(c) <= 126; };
  const char* text = krStringData(s);
  std::size_t end = krStringLength(s);
  std::size_t first = 0;
  while (first < end && !graphic(text[first])) ++first;
  while (end > first && !graphic(text[end - 1])) --end;
  return keepRange(s, first, end - first);
}

krString* strLSet(krString* s, int size) {
  requireNotNegative(size);
  std::size_t field = static_cast<std::size_t>(size);
  std::size_t length = krStringLength(s);
  if (length >= field) return keepRange(s, 0, field);
  s = own(s);
  std::memset(growTo(s, field) + length, ' ', field - length);
  return s;
}

krString* strRSet(krString* s, int size) {
  requireNotNegative(size);
  std::size_t field = static_cast<std::size_t>(size);
  std::size_t length = krStringLength(s);
  if (length >= field) return keepRange(s, length - field, field);
  s = own(s);
  char* text = growTo(s, field);
  std::memmove(text + (field - length), text, length);
  std::memset(text, ' ', field - length);
  return s;
}

krString* strChr(int ascii) {
  char byte = static_cast<char>(ascii & 0xFF);
  return krStringNew(&byte, 1);
}

int strAsc(krString* s) {
  int value = krStringLength(s) == 0 ? -1 : static_cast<unsigned char>(krStringData(s)[0]);
  krStringDelete(s);
  return value;
}

int strLen(krString* s) {
  std::size_t length = krStringLength(s);
  krStringDelete(s);
  return static_cast<int>(std::min(length, kMaxStringLength));
}

krString* strHex(int value) {
  static const char kDigits[] = "0123456789ABCDEF";
  unsigned bits = static_cast<unsigned>(value);
  char text[8];
  for (int i = 7; i >= 0; --i, bits >>= 4) text[i] = kDigits[bits & 0xF];
  return krStringNew(text, sizeof(text));
}

krString* strBin(int value) {
  unsigned bits = static_cast<unsigned>(value);
  char text[32];
  for (int i = 31; i >= 0; --i, bits >>= 1) text[i] = static_cast<char>('0' + (bits & 1));
  return krStringNew(text, sizeof(text));
}

// Month names are fixed English abbreviations whatever the process locale is.
krString* strCurrentDate() {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::snprintf(text, sizeof(text), "%02d %s %04d", local.tm_mday, kMonths[local.tm_mon % 12], local.tm_year + 1900);
  return withText(text);
}

krString* strCurrentTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::snprintf(text, sizeof(text), "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return withText(text);
}

}  // namespace kr
