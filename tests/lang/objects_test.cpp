// Object pools, reference counting and the cases where a deletion frees other
// records, called directly.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lang/language_support.h"
#include "runtime/errors.h"

namespace {

using namespace kr;

// An ObjType with room for its field codes, laid out as compiled code does.
struct TypeRecord {
  alignas(ObjType) int words[11 + 4] = {};
  ObjType* type = reinterpret_cast<ObjType*>(words);
  explicit TypeRecord(std::vector<int> fieldTypes) {
    type->used = {nullptr, &type->used, &type->used, nullptr, -1};
    type->free = {nullptr, &type->free, &type->free, nullptr, -1};
    type->fieldCount = static_cast<int>(fieldTypes.size());
    for (std::size_t i = 0; i < fieldTypes.size(); ++i) type->fieldType[i] = fieldTypes[i];
  }
  TypeRecord(const TypeRecord&) = delete;
};

class Objects : public ::testing::Test {
 protected:
  void SetUp() override { languageInit(); }
  void TearDown() override { languageShutdown(); }

  // The x field (field 0) of every object a walk visits.
  static std::vector<int> walkOrder(ObjType* type) {
    std::vector<int> xs;
    for (Obj* o = objNext(&type->used); o; o = objNext(o)) xs.push_back(o->fields[0]);
    return xs;
  }
  static Obj* make(ObjType* type, int x) {
    Obj* o = objNew(type);
    o->fields[0] = x;
    return o;
  }
  static void setObjectField(Obj* o, int field, Obj* target) {
    objStore(reinterpret_cast<Obj**>(&o->fields[field]), target);
  }
};

TEST_F(Objects, PoolOfOneTypeGrowsInBlocksAndReusesTheFirstFreedRecord) {
  TypeRecord t({KR_TYPE_INT});
  std::vector<Obj*> objects;
  for (int i = 0; i < 513; ++i) objects.push_back(make(t.type, i));
  EXPECT_EQ(languageBlockCount(), 2u);
  EXPECT_EQ(activeObjectCount(), 513);
  EXPECT_EQ(reinterpret_cast<char*>(objects[1]) - reinterpret_cast<char*>(objects[0]), 24);
  while (objects.size() < 1024) objects.push_back(make(t.type, 0));  // no fresh record left
  EXPECT_EQ(languageBlockCount(), 2u);
  Obj* held = nullptr;
  objStore(&held, objects[7]);
  for (Obj* o : objects) objDelete(o);
  EXPECT_EQ(activeObjectCount(), 0);
  EXPECT_EQ(unreleasedObjectCount(), 1);
  objStore(&held, nullptr);
  EXPECT_EQ(unreleasedObjectCount(), 0);
  EXPECT_EQ(objNew(t.type), objects[0]);  // freed first, reused first
  EXPECT_EQ(objNew(t.type), objects[1]);
  for (int i = 2; i < 1023; ++i) objNew(t.type);
  EXPECT_EQ(objNew(t.type), objects[7]);  // released last
  EXPECT_EQ(languageBlockCount(), 2u);
}

TEST_F(Objects, DeleteEachContinuesPastRecordsFreedByTheDeletion) {
  TypeRecord t({KR_TYPE_INT, KR_TYPE_OBJECT});
  Obj* first = make(t.type, 1);
  Obj* second = make(t.type, 2);
  make(t.type, 3);
  make(t.type, 4);
  setObjectField(first, 1, second);
  objDelete(second);  // now referenced only by first's field
  objDeleteEach(t.type);
  EXPECT_EQ(activeObjectCount(), 0);
  EXPECT_EQ(unreleasedObjectCount(), 0);
  EXPECT_TRUE(walkOrder(t.type).empty());
}

TEST_F(Objects, DeletingInsideAForEachLoopVisitsEveryOtherObjectOnce) {
  TypeRecord t({KR_TYPE_INT, KR_TYPE_OBJECT});
  std::vector<Obj*> objects;
  for (int i = 0; i < 6; ++i) objects.push_back(make(t.type, i));
  setObjectField(objects[1], 1, objects[2]);
  std::vector<int> visited;
  Obj* loop = nullptr;
  for (int more = objEachFirst(&loop, t.type); more; more = objEachNext(&loop)) {
    const int x = loop->fields[0];
    visited.push_back(x);
    if (x == 1) {
      objDelete(objects[2]);  // held by the field of the current object
      objDelete(loop);        // which releases it: the record after the current one is freed
    }
    if (x == 4) objDeleteEach(t.type);
  }
  EXPECT_EQ(visited, (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(loop, nullptr);
  EXPECT_EQ(activeObjectCount(), 0);
  EXPECT_EQ(unreleasedObjectCount(), 0);
}

TEST_F(Objects, FirstAndLastSkipDeletedButReferencedRecords) {
  TypeRecord t({KR_TYPE_INT});
  Obj* only = nullptr;
  objStore(&only, make(t.type, 1));
  objDelete(only);
  EXPECT_EQ(objNext(&t.type->used), nullptr);
  EXPECT_EQ(objPrev(&t.type->used), nullptr);
  EXPECT_EQ(objCompare(only, nullptr), 0);
  objDelete(only);  // deleting twice does nothing
  EXPECT_EQ(unreleasedObjectCount(), 1);
  EXPECT_EQ(activeObjectCount(), 0);
}

TEST_F(Objects, DeleteReleasesStringAndObjectFields) {
  TypeRecord t({KR_TYPE_STRING, KR_TYPE_OBJECT});
  Obj* a = objNew(t.type);
  Obj* b = objNew(t.type);
  strStore(reinterpret_cast<krString**>(&a->fields[0]), strConst("text"));
  setObjectField(a, 1, b);
  setObjectField(b, 1, a);  // a cycle
  objDelete(b);
  EXPECT_EQ(unreleasedObjectCount(), 2);  // a still refers to b
  objDelete(a);
  EXPECT_EQ(liveStringCount(), 0);
  EXPECT_EQ(unreleasedObjectCount(), 0);
  EXPECT_EQ(activeObjectCount(), 0);
}

TEST_F(Objects, WideSharedGraphsPrintWithinTheDepthLimit) {
  TypeRecord t({KR_TYPE_OBJECT, KR_TYPE_OBJECT, KR_TYPE_OBJECT});
  std::vector<Obj*> chain;
  for (int i = 0; i < 40; ++i) chain.push_back(objNew(t.type));
  for (int i = 0; i + 1 < 40; ++i)
    for (int f = 0; f < 3; ++f) setObjectField(chain[i], f, chain[i + 1]);
  setObjectField(chain[39], 0, chain[0]);
  krString* text = objToStr(chain[0]);
  // 3^8 leaves of "....", every level bracketed: finite however long the chain.
  std::string s = krStringTake(text);
  std::size_t dots = 0;
  for (std::size_t at = s.find("...."); at != std::string::npos; at = s.find("....", at + 4)) ++dots;
  EXPECT_EQ(dots, 6561u);
  EXPECT_EQ(s.front(), '[');
  EXPECT_EQ(s.back(), ']');
}

TEST(Arrays, RedimensioningReleasesTheOldElementsWhateverTheNewBounds) {
  languageInit();
  alignas(ArrayDesc) int words[5] = {0, KR_TYPE_STRING, 2, 2, 3};
  struct {
    ArrayDesc& d;
  } a{*reinterpret_cast<ArrayDesc*>(words)};
  dimArray(&a.d);
  EXPECT_EQ(a.d.size[1], 12);
  auto** elements = static_cast<krString**>(a.d.data);
  for (int i = 0; i < 12; ++i) elements[i] = strFromInt(i);
  a.d.size[0] = 0;  // the new bounds are written before the call
  a.d.size[1] = 0;
  dimArray(&a.d);
  EXPECT_EQ(liveStringCount(), 0);
  EXPECT_EQ(a.d.size[1], 1);
  a.d.size[0] = -1;  // an empty dimension: no element, every index out of bounds
  a.d.size[1] = 5;
  dimArray(&a.d);
  EXPECT_EQ(a.d.size[1], 0);
  EXPECT_NE(a.d.data, nullptr);
  undimArray(&a.d);
  EXPECT_EQ(a.d.data, nullptr);
  a.d.size[0] = 70000;
  a.d.size[1] = 70000;
  EXPECT_THROW(dimArray(&a.d), krEx);
  EXPECT_EQ(languageBlockCount(), 1u);  // the string records only: no array storage is left
  languageShutdown();
}

TEST(DataStatements, ReadingBeforeAnyRestoreIsOutOfData) {
  dataRestore(nullptr);
  try {
    dataReadInt();
    FAIL() << "no error";
  } catch (const krEx& e) {
    EXPECT_STREQ(e.message, "Out of data");
  }
}

TEST(DataStatements, TheTableMayEndWithASingleWord) {
  alignas(8) int table[] = {KR_DATA_FLOAT, 0x4039999A /* 2.9 */, KR_DATA_FLOAT, -0x3FC66666 /* about -2.9 */,
                            KR_DATA_END};
  dataRestore(reinterpret_cast<DataRecord*>(table));
  EXPECT_EQ(dataReadInt(), 2);
  EXPECT_EQ(dataReadInt(), -2);
  EXPECT_THROW(dataReadFloat(), krEx);
  EXPECT_THROW(dataReadStr(), krEx);  // the position stays on the closing word
}

TEST(Arithmetic, EdgeValues) {
  EXPECT_EQ(arithMod(-2147483647 - 1, -1), 0);
  EXPECT_EQ(arithMod(-7, 3), -1);
  EXPECT_THROW(arithMod(1, 0), krEx);
  EXPECT_EQ(arithAbs(-2147483647 - 1), -2147483647 - 1);
  EXPECT_EQ(arithFSgn(-0.0f), 0.0f);
  EXPECT_EQ(arithFSgn(NAN), -1.0f);
  EXPECT_EQ(arithFMod(-7.5f, 2.0f), -1.5f);
}

}  // namespace
