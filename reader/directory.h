#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class FileBytes;
class Faults;

// The front of a package file: the 52-byte header, a 32-byte entry per part
// and the info data they point to with InfoRefs, and the relocation header
// that may follow the directory.

struct InfoRef {
  uint64_t at;      // where the InfoRef itself lies
  uint16_t offset;  // from the start of the info data
  uint16_t length;
  bool inside;  // the run lies inside the info data
};

struct PartEntry {
  uint32_t number;
  uint64_t at;  // where the entry lies
  uint32_t offset, size, type, flags;
  InfoRef info;
  uint64_t start;  // where the part's bytes begin in the file
  bool inFile;     // they end inside the file
};

struct Relocation {
  uint32_t size, pageSize, sets, base;
};

struct Directory {
  uint64_t fileSize;
  std::string signature;
  uint32_t type, flags, version, size, date, directorySize, partCount;
  InfoRef copyright, name;
  uint64_t infoStart;  // 52 + 32 for each part entry
  std::optional<Relocation> relocation;
  std::vector<PartEntry> parts;
  // The parts that start inside the file, as indices into `parts`, in the order they
  // start; of parts that start at one byte, in entry order, so that the same
  // part is read whatever the standard library.
  std::vector<uint32_t> byStart;
  // False for a file whose signature is neither package0 nor package1.
  bool isPackage = true;
};

// Package flags.
constexpr uint32_t kRelocationFlag = 0x04000000;
// Part flags.
constexpr uint32_t kPartKindMask = 0x3;
constexpr uint32_t kNewtonScriptKind = 1;
constexpr uint32_t kCompressedFlag = 0x40;

// Reads the directory, reporting every field that does not hold. The part
// entries are those that lie inside the file.
Directory ReadDirectory(const FileBytes& file, Faults& faults);
