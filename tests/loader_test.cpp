#include "objects/loader.h"

#include <gtest/gtest.h>

#include <set>

#include "objects/errors.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "packaging/package.h"
#include "tests/test_support.h"

namespace {
// Every Ref and Object reachable from `ref`, and the byte buffers of binaries.
void Collect(const Ref* ref, std::set<const void*>& seen, std::set<const void*>& bytes) {
  seen.insert(ref);
  const Object* object = ref->target;
  if (!object || !seen.insert(object).second) return;
  Collect(object->GetClass(), seen, bytes);
  if (object->IsBinary()) {
    bytes.insert(object->BinaryData());
  } else if (object->IsArray()) {
    for (int32_t i = 0; i < object->NumberOfIndexes(); ++i) Collect(object->GetElement(i), seen, bytes);
  } else {
    for (int32_t i = 0; i < object->NumberOfSlots(); ++i) Collect(object->GetSlotValue(i), seen, bytes);
  }
}
}  // namespace

TEST(LoaderTest, NativeFunctionsShareNothingButTheBytecodeTable) {
  TempDir dir;
  WriteFile(dir / "code.bin", "\xE3\xA0\x00\x02");
  Package package;
  std::set<const void*> first, firstBytes, second, secondBytes;
  Collect(NewNativeFunction((dir / "code.bin").c_str(), 1), first, firstBytes);
  Collect(NewNativeFunction((dir / "code.bin").c_str(), 1), second, secondBytes);
  for (const void* item : first) EXPECT_EQ(second.count(item), 0u);
  std::vector<const void*> sharedBytes;
  for (const void* item : firstBytes) {
    if (secondBytes.count(item)) sharedBytes.push_back(item);
  }
  EXPECT_EQ(sharedBytes.size(), 1u);  // the two bytes of bcFunc's instructions
}

TEST(LoaderTest, UnusableFileThrowsNamingIt) {
  TempDir dir;
  Package package;
  try {
    LoadBinaryFile(NewSymbolRef("bits"), (dir / "missing.bin").c_str());
    FAIL() << "no error";
  } catch (const InputError& error) {
    EXPECT_EQ(error.what(), "Couldn't read data file [" + (dir / "missing.bin") +
                                "]: No such file or directory!\n");
  }
}
