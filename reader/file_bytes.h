#pragma once

#include <cstdint>
#include <vector>

#include "packaging/big_endian.h"
#include "platform/platform.h"

// A package file in memory, read with bounds checks. Offsets are 64-bit so
// that offset + count cannot wrap; a number read past the end is 0, and the
// callers that must tell ask Has() first. The bytes are a vector's, or a
// file's as the platform read it (mapped where it is large, so that a large
// package is not copied and takes no memory of its own).
class FileBytes {
 public:
  explicit FileBytes(std::vector<uint8_t> bytes)
      : owned(std::move(bytes)), data(owned.data()), size(owned.size()) {}
  explicit FileBytes(platform::DataFile file) : read(file), data(file.bytes), size(file.length) {}
  FileBytes(FileBytes&& other) noexcept
      : owned(std::move(other.owned)), read(other.read), data(other.data), size(other.size) {
    other.read = {};
  }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes() { platform::FreeDataFile(read); }

  uint64_t Size() const { return size; }
  bool Has(uint64_t offset, uint64_t count) const { return offset <= size && count <= size - offset; }
  uint32_t Word(uint64_t offset) const { return Has(offset, 4) ? LoadBig32(At(offset)) : 0; }
  uint16_t Half(uint64_t offset) const { return Has(offset, 2) ? LoadBig16(At(offset)) : 0; }
  uint8_t Byte(uint64_t offset) const { return Has(offset, 1) ? data[offset] : 0; }
  // The bytes from `offset` on; only where Has() says they exist.
  const uint8_t* At(uint64_t offset) const { return data + offset; }

 private:
  std::vector<uint8_t> owned;
  platform::DataFile read;
  const uint8_t* data;
  uint64_t size;
};
