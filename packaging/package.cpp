#include "packaging/package.h"

#include <cstring>

#include "objects/assertion.h"
#include "objects/errors.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "packaging/big_endian.h"

namespace {
const char* const kFile = "package";
Package* current = nullptr;
}  // namespace

Package& CurrentPackage() { return *current; }

Arena& CurrentArena() { return current->GetArena(); }

int64_t RoundUp(int64_t alignment, int64_t value) {
  int64_t remainder = value % alignment;
  return remainder != 0 ? value + alignment - remainder : value;
}

Part::Part() {
  root = New<Object>(Object::kArray, ImmediateRef(Ref::kNil), nullptr, 0);
  root->AppendElement(TypedRef(Ref::kFrameKind));
}

Package::Package() {
  // The object model consults the current Package as soon as part 0's root
  // array receives its frame.
  current = this;
  AddPart();
}

Package::~Package() {
  if (current == this) current = nullptr;
}

Part* Package::AddPart() {
  parts.push_back(std::make_unique<Part>());
  ++nParts;
  return parts.back().get();
}

Part* Package::GetPart(int32_t partNumber) const {
  Check(partNumber >= 0, "partNumber>=0", kFile, 32);
  Check(partNumber < nParts, "partNumber<nParts", kFile, 33);
  return parts[partNumber].get();
}

int32_t Package::Allocate(int32_t alignment, int32_t size) {
  int64_t offset = RoundUp(alignment, packageDataSize);
  // Offsets and pointers of the format are signed 32-bit numbers.
  if (offset + size > INT32_MAX) {
    throw InputError(
        Format("The package would be larger than %d bytes, the most its format "
               "can address!\n",
               INT32_MAX));
  }
  packageDataSize = static_cast<int32_t>(offset + size);
  return static_cast<int32_t>(offset);
}

void Package::WriteBytes(const void* source, int32_t count, int32_t location) {
  if (location < 0) location = Allocate(1, count);
  Check(int64_t{location} + count <= packageDataSize, "location+count<=packageDataSize", kFile, 89);
  packageData.Cover(packageDataSize);
  if (count > 0) std::memcpy(packageData.Data() + location, source, count);
}

void Package::ReferBytes(const uint8_t* source, int32_t count, int32_t location, int fd) {
  Check(int64_t{location} + count <= packageDataSize, "location+count<=packageDataSize", kFile, 89);
  packageData.Refer(source, count, location, fd);
}

void Package::WriteWord(uint32_t value, int32_t location) {
  uint8_t word[4];
  StoreBig32(word, value);
  WriteBytes(word, 4, location);
}
