#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

class Arena;

// The bytes of the data files that a package is built from, each kept until
// the package is dropped or its slot is given another value. A small file is
// read into the package's arena, a larger one into memory of its own; a large
// one is mapped and kept open, so that the kernel can copy it into the package
// file without a copy of ours.
class DataFiles {
 public:
  // The number of every file read into the arena.
  static constexpr uint32_t kInArena = UINT32_MAX;

  explicit DataFiles(Arena& arena);
  DataFiles(const DataFiles&) = delete;
  DataFiles& operator=(const DataFiles&) = delete;
  ~DataFiles();

  struct Loaded {
    const uint8_t* bytes;
    int32_t length;
    uint32_t number;  // from 1, for Release
  };
  // The whole file. One that cannot be opened or read whole, or that is too
  // large for a binary object, throws an InputError naming it.
  Loaded Load(const char* path);
  // Frees a file's bytes; nothing may use them afterwards.
  void Release(const Loaded& file);
  // The open descriptor of a large file, or -1.
  int Descriptor(uint32_t number) const;

 private:
  using File = platform::DataFile;
  uint32_t Keep(File file);
  void Free(File& file);

  Arena& arena;
  std::vector<File> files;
  size_t openFiles = 0;
  size_t mostOpenFiles;  // beyond it, large files are only mapped
};
