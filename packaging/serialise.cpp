// The object area of a package. Layout gives every object its run at the end
// of the image, depth first: the object, then its class or map with all it
// reaches, then its elements or slot values in order. Write then fills every
// run: the size-and-flags word (the data size plus the 12 header bytes, with
// the flags), header2, the class or map word, and the data. Pointers become
// the target's file offset plus 1.

#include "objects/assertion.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "packaging/package.h"

namespace {
const int32_t kObjectHeaderSize = 12;
const uint32_t kHeaderSizeInSizeField = kObjectHeaderSize << 8;
const uint32_t kReferFrom = 4096;
}  // namespace

void Object::Layout() {
  if (packageOffset != -1) return;
  Package& package = CurrentPackage();
  switch (header1 & 0x3) {
    case kBinary:
      packageOffset = package.Allocate(4, kObjectHeaderSize + static_cast<int32_t>(header1 >> 8));
      _class_or_map->Layout(packageOffset + 8);
      break;
    case kArray:
    case kFrame: {
      int32_t n = static_cast<int32_t>(header1 >> 10);
      packageOffset = package.Allocate(4, kObjectHeaderSize + 4 * n);
      _class_or_map->Layout(packageOffset + 8);
      for (int32_t i = 0; i < n; ++i) {
        data.array.slot[i]->Layout(packageOffset + kObjectHeaderSize + 4 * i);
      }
      break;
    }
    default:
      AssertionFailed("0", "object", 331);
  }
}

void Object::Write() const {
  Package& package = CurrentPackage();
  package.WriteWord(header1 + kHeaderSizeInSizeField, packageOffset);
  package.WriteWord(header2, packageOffset + 4);
  switch (header1 & 0x3) {
    case kBinary:
      // A large data file's bytes go to the package file from where they
      // lie; small ones cost less to copy than to keep track of.
      if (data.binary.file != 0 && (header1 >> 8) >= kReferFrom) {
        package.ReferBytes(data.binary.bytes, static_cast<int32_t>(header1 >> 8),
                           packageOffset + kObjectHeaderSize,
                           package.GetDataFiles().Descriptor(data.binary.file));
      } else {
        package.WriteBytes(data.binary.bytes, static_cast<int32_t>(header1 >> 8),
                           packageOffset + kObjectHeaderSize);
      }
      _class_or_map->Write();
      break;
    case kArray:
    case kFrame:
      _class_or_map->Write();
      for (int32_t i = 0; i < static_cast<int32_t>(header1 >> 10); ++i) data.array.slot[i]->Write();
      break;
    default:
      AssertionFailed("0", "object", 368);
  }
}

void Ref::Layout(int32_t at) {
  location = at;
  if (IsArray() || IsFrame() || IsBinary()) target->Layout();
}

namespace {
// A pointer's word: its target's offset with the pointer tag.
void WritePointer(const Ref& ref, int line) {
  ref.target->Write();
  Check((ref.location & 0x03) == 0, "(location&0x03)==0", "ref", line);
  CurrentPackage().WriteWord(static_cast<uint32_t>(ref.target->GetPackageOffset()) + 1,
                             ref.location);
}
}  // namespace

void Ref::Write() const {
  if (IsInteger()) {
    CurrentPackage().WriteWord(theRef, location);
  } else if (IsArray()) {
    WritePointer(*this, 303);
  } else if (IsFrame()) {
    WritePointer(*this, 311);
  } else if (IsBinary()) {
    WritePointer(*this, 319);
  } else if (IsCharacter() || IsImmediate() || IsMagicPointer()) {
    CurrentPackage().WriteWord(theRef, location);
  } else {
    AssertionFailed("0", "ref", 344);
  }
}
