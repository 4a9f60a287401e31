#include "objects/data_files.h"

#include "objects/arena.h"
#include "objects/errors.h"
#include "objects/object.h"

namespace {

// Files from this size on are mapped rather than read. Below it a mapping
// costs more than the copy; above it a package of at most 2 GiB stays far
// below the kernel's limit on the number of mappings.
const size_t kMapFrom = 64 * 1024;
// Files up to this size go into the arena, which hands a replaced one's
// memory out again.
const size_t kArenaUpTo = 256;

}  // namespace

DataFiles::DataFiles(Arena& arena) : arena(arena) {
  // Half of what the process may open, so that nothing else runs short.
  mostOpenFiles = platform::MostOpenFiles() / 2;
}

DataFiles::~DataFiles() {
  for (File& file : files) Free(file);
}

DataFiles::Loaded DataFiles::Load(const char* path) {
  platform::DataFileRequest request{static_cast<size_t>(kMaxBinaryLength), kArenaUpTo, kMapFrom,
                                    openFiles < mostOpenFiles,
                                    [&](size_t length) { return arena.MakeArray<uint8_t>(length); }};
  File file;
  std::string reason;
  platform::ReadStatus status = platform::ReadDataFile(path, request, file, reason);
  if (status != platform::ReadStatus::kRead) {
    platform::FreeDataFile(file);
    if (status == platform::ReadStatus::kTooLarge) {
      throw InputError(
          Format("Data file [%s] is too large: a binary object holds at most %d bytes!\n", path,
                 kMaxBinaryLength));
    }
    throw InputError(Format("Couldn't read data file [%s]: %s!\n", path, reason.c_str()));
  }
  if (file.inSmall) return {file.bytes, static_cast<int32_t>(file.length), kInArena};
  if (file.handle >= 0) ++openFiles;
  uint32_t number = Keep(file);
  return {file.bytes, static_cast<int32_t>(file.length), number};
}

uint32_t DataFiles::Keep(File file) {
  try {
    files.push_back(file);
  } catch (...) {
    Free(file);
    throw;
  }
  return static_cast<uint32_t>(files.size());
}

void DataFiles::Release(const Loaded& file) {
  if (file.number == kInArena) {
    arena.Recycle(const_cast<uint8_t*>(file.bytes), file.length);
  } else {
    Free(files[file.number - 1]);
  }
}

int DataFiles::Descriptor(uint32_t number) const {
  return number == kInArena ? -1 : files[number - 1].handle;
}

void DataFiles::Free(File& file) {
  if (file.handle >= 0) --openFiles;
  platform::FreeDataFile(file);
}
