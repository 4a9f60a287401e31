#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "objects/arena.h"
#include "objects/data_files.h"
#include "packaging/image.h"

class Object;

// One part of a package: a root array holding the part's top-level frame,
// and the part's 32-byte directory entry, kept in file byte order.
class Part {
 public:
  Part();

  Object* GetRoot() const { return root; }

  // Steps of the package write sequence for this part.
  void AllocateEntry();
  void WritePartInfo();
  void Layout();
  void Write() const;
  void WriteEntry(int32_t firstPartStart);

  int32_t GetPartStart() const { return partStart; }

 private:
  Object* root;
  uint8_t entry[32] = {};
  int32_t entryLocation = -1;
  int32_t partStart = 0;
  int32_t partEnd = 0;
};

// The package under construction: its parts and the package image, which
// only grows at its end and becomes the file byte for byte.
// Constructing a Package makes it the current Package; it owns everything its
// tree is built from, and dropping it releases all of that.
class Package {
 public:
  Package();
  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  Part* AddPart();
  Part* GetPart(int32_t partNumber) const;
  int32_t NumberOfParts() const { return nParts; }

  // Reserves `size` bytes at the end of the image, starting on a multiple of
  // `alignment`, and returns their offset. Padding and the run read as zero
  // until written.
  int32_t Allocate(int32_t alignment, int32_t size);
  // Copies bytes into the image; a negative location appends them.
  void WriteBytes(const void* source, int32_t count, int32_t location);
  // Places bytes that stay where they are until the package is written; `fd`,
  // if open, is a file that begins with them.
  void ReferBytes(const uint8_t* source, int32_t count, int32_t location, int fd);
  // Writes a 32-bit number big-endian at `location`.
  void WriteWord(uint32_t value, int32_t location);

  // Prints the dump, builds the image and writes it to `outputPath`.
  int WritePackage(const std::string& outputPath);

  int32_t GetPackageDataSize() const { return packageDataSize; }
  int32_t GetDataStart() const { return dataStart; }
  Arena& GetArena() { return arena; }
  DataFiles& GetDataFiles() { return dataFiles; }

  // The directory steps, in the order the write sequence calls them.
  void AllocateHeader();
  void WriteInfoStrings(const std::string& name);
  void WriteHeader();

 private:
  Arena arena;
  DataFiles dataFiles{arena};
  int32_t headerLocation = 0;
  int32_t directorySize = 0;
  int32_t nParts = 0;
  std::vector<std::unique_ptr<Part>> parts;
  Image packageData;
  int32_t packageDataSize = 0;
  int32_t dataStart = 0;
  uint8_t header[52] = {};  // the package header, in file byte order
};

// The Package that every object-model and image operation works on.
Package& CurrentPackage();

// `value` rounded up to a multiple of `alignment`.
int64_t RoundUp(int64_t alignment, int64_t value);
