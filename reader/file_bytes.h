#pragma once

#include <cstdint>
#include <vector>

#include "packaging/big_endian.h"

// A package file in memory, read with bounds checks. Offsets are 64-bit so
// that offset + count cannot wrap; a number read past the end is 0, and the
// callers that must tell ask Has() first.
class FileBytes {
 public:
  explicit FileBytes(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}

  uint64_t Size() const { return bytes.size(); }
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= bytes.size() && count <= bytes.size() - offset;
  }
  uint32_t Word(uint64_t offset) const { return Has(offset, 4) ? LoadBig32(At(offset)) : 0; }
  uint16_t Half(uint64_t offset) const { return Has(offset, 2) ? LoadBig16(At(offset)) : 0; }
  uint8_t Byte(uint64_t offset) const { return Has(offset, 1) ? bytes[offset] : 0; }
  // The bytes from `offset` on; only where Has() says they exist.
  const uint8_t* At(uint64_t offset) const { return bytes.data() + offset; }

 private:
  std::vector<uint8_t> bytes;
};
