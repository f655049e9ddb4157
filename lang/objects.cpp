// Objects of user-defined types: pooled records on their type's used and free
// lists, reference counting, walks, reordering and the text form.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "lang/language_support.h"
#include "runtime/errors.h"

static_assert(sizeof(Obj) == 20, "an object's fields start at offset 20");
static_assert(offsetof(ObjType, free) == 20 && offsetof(ObjType, fieldCount) == 40 &&
                  offsetof(ObjType, fieldType) == 44,
              "ObjType is laid out by compiled code");
static_assert(sizeof(ArrayDesc) == 12 && sizeof(DataRecord) == 8, "records laid out by compiled code");

namespace kr {
namespace {

constexpr std::size_t kObjectsPerBlock = 512;
constexpr int kMaxPrintDepth = 8;

int gActiveObjects = 0;
int gUnreleasedObjects = 0;

void unlink(Obj* o) {
  o->prev->next = o->next;
  o->next->prev = o->prev;
}

void linkBetween(Obj* o, Obj* before, Obj* after) {
  o->prev = before;
  o->next = after;
  before->next = o;
  after->prev = o;
}

int fieldCountOf(const ObjType* type) { return type->fieldCount > 0 ? type->fieldCount : 0; }

void growObjectPool(ObjType* type) {
  const std::uint64_t recordBytes = sizeof(Obj) + 4 * std::uint64_t(fieldCountOf(type));
  const std::uint64_t blockBytes = recordBytes * kObjectsPerBlock;
  if (blockBytes > 0x7FFFFFF0) raiseRuntimeError("Out of memory");
  char* block = static_cast<char*>(allocateLanguageBlock(static_cast<std::size_t>(blockBytes)));
  for (std::size_t i = 0; i < kObjectsPerBlock; ++i) {
    Obj* o = reinterpret_cast<Obj*>(block + i * recordBytes);
    o->type = type;
    linkBetween(o, type->free.prev, &type->free);
  }
}

// The first existing record after (or before) o; null at the list head.
Obj* walk(Obj* o, bool forward) {
  if (!o) return nullptr;
  for (Obj* r = forward ? o->next : o->prev; r->type; r = forward ? r->next : r->prev) {
    if (r->fields) return r;
  }
  return nullptr;
}

bool exists(const Obj* o) { return o && o->fields; }

// Stores o in the loop variable as a counted reference.
int storeLoopObject(Obj** var, Obj* o) {
  objStore(var, o);
  return o ? 1 : 0;
}

void appendText(krString* out, const char* text) { krStringAppend(out, text, std::strlen(text)); }

void appendObject(krString* out, Obj* o, int depth, Obj* root) {
  if (!exists(o)) return appendText(out, "[NULL]");
  if (o == root) return appendText(out, "[ROOT]");
  if (depth == kMaxPrintDepth) return appendText(out, "....");
  if (!root) root = o;
  char number[kNumberTextMax];
  appendText(out, "[");
  const ObjType* type = o->type;
  for (int i = 0; i < fieldCountOf(type); ++i) {
    if (i > 0) appendText(out, ",");
    const int word = o->fields[i];
    switch (type->fieldType[i]) {
      case KR_TYPE_INT:
        krStringAppend(out, number, formatInt(word, number));
        break;
      case KR_TYPE_FLOAT: {
        float value;
        std::memcpy(&value, &word, sizeof value);
        krStringAppend(out, number, formatFloat(value, number));
        break;
      }
      case KR_TYPE_STRING: {
        const krString* s = reinterpret_cast<const krString*>(static_cast<std::uintptr_t>(word));
        appendText(out, "\"");
        krStringAppend(out, krStringData(s), krStringLength(s));
        appendText(out, "\"");
        break;
      }
      case KR_TYPE_OBJECT:
        appendObject(out, reinterpret_cast<Obj*>(static_cast<std::uintptr_t>(word)), depth + 1, root);
        break;
      default:
        appendText(out, "???");
    }
  }
  appendText(out, "]");
}

}  // namespace

int activeObjectCount() { return gActiveObjects; }
int unreleasedObjectCount() { return gUnreleasedObjects; }

void resetObjectCounters() {
  gActiveObjects = 0;
  gUnreleasedObjects = 0;
}

Obj* objNew(ObjType* type) {
  if (type->free.next == &type->free) growObjectPool(type);
  Obj* o = type->free.next;
  unlink(o);
  o->type = type;
  o->refCount = 1;
  int* fields = reinterpret_cast<int*>(o + 1);
  for (int i = 0, n = fieldCountOf(type); i < n; ++i) fields[i] = 0;  // few fields: no call
  o->fields = fields;
  ++gActiveObjects;
  ++gUnreleasedObjects;
  linkBetween(o, type->used.prev, &type->used);
  return o;
}

void objDelete(Obj* o) {
  if (!exists(o)) return;
  const ObjType* type = o->type;
  for (int i = 0; i < fieldCountOf(type); ++i) {
    const std::uintptr_t word = static_cast<std::uint32_t>(o->fields[i]);
    if (type->fieldType[i] == KR_TYPE_STRING) krStringDelete(reinterpret_cast<krString*>(word));
    if (type->fieldType[i] == KR_TYPE_OBJECT) objRelease(reinterpret_cast<Obj*>(word));
  }
  o->fields = nullptr;
  --gActiveObjects;
  objRelease(o);  // the reference that creation gave it
}

// Each record is held by a reference of its own while it is deleted: releasing
// its fields can free the record after it, so the next record is read only
// once the deletion is over.
void objDeleteEach(ObjType* type) {
  for (Obj* r = type->used.next; r->type;) {
    ++r->refCount;
    objDelete(r);
    Obj* following = r->next;
    objRelease(r);
    r = following;
  }
}

void objRelease(Obj* o) {
  if (!o || --o->refCount != 0) return;
  unlink(o);
  --gUnreleasedObjects;
  linkBetween(o, o->type->free.prev, &o->type->free);
}

void objStore(Obj** var, Obj* o) {
  if (o) ++o->refCount;
  Obj* old = *var;
  *var = o;
  objRelease(old);
}

int objCompare(Obj* a, Obj* b) {
  if (!exists(a)) a = nullptr;
  if (!exists(b)) b = nullptr;
  return a == b ? 0 : 1;
}

Obj* objNext(Obj* o) { return walk(o, true); }
Obj* objPrev(Obj* o) { return walk(o, false); }

Obj* objInsBefore(Obj* a, Obj* b) {
  if (!a || !b || a == b) return a;
  unlink(a);
  linkBetween(a, b->prev, b);
  return a;
}

Obj* objInsAfter(Obj* a, Obj* b) {
  if (!a || !b || a == b) return a;
  unlink(a);
  linkBetween(a, b, b->next);
  return a;
}

int objEachFirst(Obj** var, ObjType* type) { return storeLoopObject(var, walk(&type->used, true)); }

int objEachNext(Obj** var) { return storeLoopObject(var, walk(*var, true)); }

krString* objToStr(Obj* o) {
  krString* out = krStringNew("", 0);
  appendObject(out, o, 0, nullptr);
  return out;
}

void nullObjEx() { raiseRuntimeError("Object does not exist"); }

}  // namespace kr
