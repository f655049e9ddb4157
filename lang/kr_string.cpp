// String records: a pool of records on a live and a free list, short text in
// pooled buffers, and the string routines compiled code calls.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "lang/language_support.h"
#include "runtime/errors.h"

// The record: the text (buffer, length, capacity), the list links, and room
// for short text inside the record itself.
struct krString {
  char* data;              // NUL-terminated; inlineText, a pooled buffer or the heap
  std::uint32_t length;
  std::uint32_t capacity;  // text bytes the buffer holds, not counting the NUL
  krString* next;
  krString* prev;
  char inlineText[12];
};

namespace kr {
namespace {

constexpr std::uint32_t kInlineCapacity = sizeof(krString::inlineText) - 1;
constexpr std::size_t kRecordsPerBlock = 512;
// Pooled text buffers: 32, 64, 128, 256 and 512 bytes. Anything longer lives on
// the heap, so a capacity of 511 or less that is not inline means "pooled".
constexpr int kTextClassCount = 5;
constexpr std::uint32_t kSmallestTextClass = 32;
constexpr std::uint32_t kLargestTextClass = kSmallestTextClass << (kTextClassCount - 1);
constexpr std::size_t kTextChunkBytes = 16384;
constexpr std::uint64_t kMaxLength = 0x7FFFFFF0;

krString gLive = {nullptr, 0, 0, &gLive, &gLive, {}};
// The free list is a queue (oldest-freed first) linked through `next` only:
// taking a record then touches no other free record, which matters because
// the records next in line are the coldest in the cache.
krString gFree = {nullptr, 0, 0, nullptr, nullptr, {}};
krString* gFreeTail = &gFree;
int gLiveStrings = 0;

struct FreeBuffer {
  FreeBuffer* next;
};
FreeBuffer* gTextFree[kTextClassCount] = {};

[[noreturn]] void outOfMemory() { raiseRuntimeError("Out of memory"); }

int textClassOf(std::uint32_t bufferSize) {
  int index = 0;
  while ((kSmallestTextClass << index) < bufferSize) ++index;
  return index;
}

void refillTextClass(int index) {
  const std::size_t size = kSmallestTextClass << index;
  char* chunk = static_cast<char*>(allocateLanguageBlock(kTextChunkBytes));
  for (std::size_t offset = kTextChunkBytes; offset >= size; offset -= size) {
    auto* buffer = reinterpret_cast<FreeBuffer*>(chunk + offset - size);
    buffer->next = gTextFree[index];
    gTextFree[index] = buffer;
  }
}

char* takeTextBuffer(int index) {
  if (!gTextFree[index]) refillTextClass(index);
  FreeBuffer* buffer = gTextFree[index];
  gTextFree[index] = buffer->next;
  return reinterpret_cast<char*>(buffer);
}

bool onHeap(const krString* s) { return s->data != s->inlineText && s->capacity >= kLargestTextClass; }

void releaseText(krString* s) {
  if (s->data == s->inlineText) return;
  if (onHeap(s)) {
    std::free(s->data);
    return;
  }
  auto* buffer = reinterpret_cast<FreeBuffer*>(s->data);
  int index = textClassOf(s->capacity + 1);
  buffer->next = gTextFree[index];
  gTextFree[index] = buffer;
}

void useInlineText(krString* s) {
  s->data = s->inlineText;
  s->capacity = kInlineCapacity;
  s->length = 0;
  s->inlineText[0] = 0;
}

// Makes room for `needed` text bytes, keeping the first `keep` bytes. Grows
// geometrically so appending a few bytes at a time stays linear.
bool tryReserve(krString* s, std::uint64_t needed, std::uint32_t keep) {
  if (needed <= s->capacity) return true;
  if (needed > kMaxLength) return false;
  std::uint64_t want = std::max<std::uint64_t>(needed + 1, (std::uint64_t(s->capacity) + 1) * 2);
  if (want <= kLargestTextClass) {
    std::uint32_t size = kSmallestTextClass;
    while (size < want) size <<= 1;
    char* buffer = takeTextBuffer(textClassOf(size));
    std::memcpy(buffer, s->data, keep);
    releaseText(s);
    s->data = buffer;
    s->capacity = size - 1;
    return true;
  }
  want = std::min<std::uint64_t>(want, kMaxLength + 1);
  const bool wasOnHeap = onHeap(s);
  void* buffer = wasOnHeap ? std::realloc(s->data, want) : std::malloc(want);
  if (!buffer && want > needed + 1) {
    want = needed + 1;
    buffer = wasOnHeap ? std::realloc(s->data, want) : std::malloc(want);
  }
  if (!buffer) return false;
  if (!wasOnHeap) {
    std::memcpy(buffer, s->data, keep);
    releaseText(s);
  }
  s->data = static_cast<char*>(buffer);
  s->capacity = static_cast<std::uint32_t>(want - 1);
  return true;
}

void reserve(krString* s, std::uint64_t needed, std::uint32_t keep) {
  if (!tryReserve(s, needed, keep)) outOfMemory();
}

void unlink(krString* r) {
  r->prev->next = r->next;
  r->next->prev = r->prev;
}

void linkAtTail(krString* head, krString* r) {
  r->next = head;
  r->prev = head->prev;
  head->prev->next = r;
  head->prev = r;
}

inline void queueFree(krString* r) {
  gFreeTail->next = r;
  gFreeTail = r;
}

inline krString* takeFree() {
  krString* r = gFree.next;
  gFree.next = r->next;
  if (gFreeTail == r) gFreeTail = &gFree;
  return r;
}

void growRecordPool() {
  auto* block = static_cast<krString*>(allocateLanguageBlock(kRecordsPerBlock * sizeof(krString)));
  for (std::size_t i = 0; i < kRecordsPerBlock; ++i) queueFree(&block[i]);
}

inline krString* newRecord() {
  if (gFreeTail == &gFree) growRecordPool();
  krString* r = takeFree();
  linkAtTail(&gLive, r);
  ++gLiveStrings;
  useInlineText(r);
  return r;
}

// Returns a record whose text is already released to the free list.
inline void recycleRecord(krString* s) {
  unlink(s);
  queueFree(s);
  --gLiveStrings;
}

inline void deleteRecord(krString* s) {
  if (s->data != s->inlineText) releaseText(s);
  recycleRecord(s);
}

inline void setLength(krString* s, std::uint32_t length) {
  s->length = length;
  s->data[length] = 0;
}

// Moves b's text into a (whose own text is dropped); b is left empty.
void adoptText(krString* a, krString* b) {
  releaseText(a);
  a->data = b->data;
  a->length = b->length;
  a->capacity = b->capacity;
  useInlineText(b);
}

}  // namespace

// ---- the API commands use ----

krString* krStringNew(const char* bytes, std::size_t length) {
  if (length > kMaxLength) outOfMemory();
  krString* r = newRecord();
  if (!tryReserve(r, length, 0)) {
    deleteRecord(r);
    outOfMemory();
  }
  std::memcpy(r->data, bytes, length);
  setLength(r, static_cast<std::uint32_t>(length));
  return r;
}

krString* krStringNew(const std::string& text) { return krStringNew(text.data(), text.size()); }

void krStringDelete(krString* s) {
  if (s) deleteRecord(s);
}

std::string krStringTake(krString* s) {
  if (!s) return std::string();
  std::string text;
  try {
    text.assign(s->data, s->length);
  } catch (const std::exception&) {  // bad_alloc, or length_error past max_size
    deleteRecord(s);
    outOfMemory();
  }
  deleteRecord(s);
  return text;
}

const char* krStringData(const krString* s) { return s ? s->data : ""; }
std::size_t krStringLength(const krString* s) { return s ? s->length : 0; }

void krStringAssign(krString* s, const char* bytes, std::size_t length) {
  if (length <= s->capacity) {
    std::memmove(s->data, bytes, length);  // the bytes may be part of s's own text
  } else {
    reserve(s, length, 0);
    std::memcpy(s->data, bytes, length);
  }
  setLength(s, static_cast<std::uint32_t>(length));
}

char* krStringResize(krString* s, std::size_t length) {
  reserve(s, length, s->length);
  setLength(s, static_cast<std::uint32_t>(length));
  return s->data;
}

char* krStringMutableData(krString* s) { return s->data; }

void krStringAppend(krString* s, const char* bytes, std::size_t length) {
  if (length == 0) return;
  const std::uint64_t total = std::uint64_t(s->length) + length;
  if (total > s->capacity) {
    // Appending part of its own text: find the bytes again after the move.
    const bool own = bytes >= s->data && bytes <= s->data + s->capacity;
    const std::size_t offset = own ? static_cast<std::size_t>(bytes - s->data) : 0;
    reserve(s, total, s->length);
    if (own) bytes = s->data + offset;
  }
  std::memmove(s->data + s->length, bytes, length);
  setLength(s, static_cast<std::uint32_t>(total));
}

krString* krStringFromInt(int n) {
  krString* r = newRecord();  // any integer fits the record's own text
  setLength(r, static_cast<std::uint32_t>(formatInt(n, r->data)));
  return r;
}

krString* krStringFromFloat(float f) {
  char text[kNumberTextMax];
  std::size_t length = formatFloat(f, text);
  return krStringNew(text, length);
}

// ---- pool life cycle ----

int liveStringCount() { return gLiveStrings; }

void resetStringPool() {
  gLive.next = gLive.prev = &gLive;
  gFree.next = nullptr;
  gFreeTail = &gFree;
  gLiveStrings = 0;
  std::fill(gTextFree, gTextFree + kTextClassCount, nullptr);
}

void destroyLiveStrings() {
  while (gLive.next != &gLive) deleteRecord(gLive.next);
}

void forEachLiveString(void (*f)(const krString* s, void* context), void* context) {
  for (krString* r = gLive.next; r != &gLive; r = r->next) f(r, context);
}

// ---- the routines compiled code calls ----

krString* strLoad(krString** var) {
  const krString* held = *var;
  return held ? krStringNew(held->data, held->length) : newRecord();
}

void strRelease(krString* s) { krStringDelete(s); }

void strStore(krString** var, krString* s) {
  krString* old = *var;
  *var = s;
  if (old && old != s) deleteRecord(old);
}

int strCompare(krString* a, krString* b) {
  const std::size_t la = krStringLength(a), lb = krStringLength(b);
  int order = std::memcmp(krStringData(a), krStringData(b), std::min(la, lb));
  if (order == 0) order = la < lb ? -1 : (la > lb ? 1 : 0);
  krStringDelete(a);
  if (b != a) krStringDelete(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

namespace {

// The unusual operands: null (an empty string) or the same record twice.
__attribute__((noinline)) krString* concatUnusual(krString* a, krString* b) {
  if (!a) return b ? b : newRecord();
  if (b) krStringAppend(a, a->data, a->length);  // b is a itself
  return a;
}

void appendText(krString* a, krString* b) {
  const std::uint32_t la = a->length, lb = b->length;
  if (lb == 0) return;
  if (la == 0 && b->data != b->inlineText) return adoptText(a, b);
  const std::uint64_t total = std::uint64_t(la) + lb;
  if (total > a->capacity) reserve(a, total, la);
  std::memcpy(a->data + la, b->data, lb);
  setLength(a, static_cast<std::uint32_t>(total));
}

// Appends b's text to a and frees b: the general case of a concatenation.
__attribute__((noinline)) krString* concatGeneral(krString* a, krString* b) {
  appendText(a, b);
  deleteRecord(b);
  return a;
}

}  // namespace

krString* strConcat(krString* a, krString* b) {
  if (__builtin_expect(!a || !b || a == b, 0)) return concatUnusual(a, b);
  const std::uint32_t la = a->length;
  const std::uint32_t lb = b->length;
  if (b->data == b->inlineText && a->capacity - la >= lb) {
    // The common case, a short piece that fits: byte copies beat a call here.
    char* to = a->data + la;
    for (std::uint32_t i = 0; i < lb; ++i) to[i] = b->inlineText[i];
    setLength(a, la + lb);
    recycleRecord(b);
    return a;
  }
  return concatGeneral(a, b);
}

int strToInt(krString* s) {
  int value = std::atoi(krStringData(s));
  krStringDelete(s);
  return value;
}

krString* strFromInt(int n) { return krStringFromInt(n); }

float strToFloat(krString* s) {
  float value = static_cast<float>(std::atof(krStringData(s)));
  krStringDelete(s);
  return value;
}

krString* strFromFloat(float f) { return krStringFromFloat(f); }

namespace {

// The rest of a literal longer than the record's own text; n bytes are copied.
__attribute__((noinline)) krString* constTail(krString* r, const char* text, std::uint32_t n) {
  const std::size_t length = n + std::strlen(text + n);
  if (!tryReserve(r, length, n)) {
    deleteRecord(r);
    outOfMemory();
  }
  std::memcpy(r->data + n, text + n, length - n);
  setLength(r, static_cast<std::uint32_t>(length));
  return r;
}

}  // namespace

krString* strConst(const char* text) {
  krString* r = newRecord();
  std::uint32_t n = 0;
  for (; n < kInlineCapacity && text[n]; ++n) r->inlineText[n] = text[n];  // most literals are short
  if (text[n]) return constTail(r, text, n);
  setLength(r, n);
  return r;
}

}  // namespace kr
