#include "objects/data_files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

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

[[noreturn]] void CannotRead(const char* path, const char* reason) {
  throw InputError(Format("Couldn't read data file [%s]: %s!\n", path, reason));
}

[[noreturn]] void TooLarge(const char* path) {
  throw InputError(Format("Data file [%s] is too large: a binary object holds at most %d bytes!\n",
                          path, kMaxBinaryLength));
}

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

struct FreeBytes {
  void operator()(void* bytes) const { std::free(bytes); }
};
using Buffer = std::unique_ptr<uint8_t, FreeBytes>;

Buffer NewBuffer(size_t size) {
  Buffer buffer(static_cast<uint8_t*>(std::malloc(size ? size : 1)));
  if (!buffer) throw std::bad_alloc();
  return buffer;
}

// Reads up to `size` bytes, going on after short reads; the count read.
size_t ReadUpTo(int fd, const char* path, uint8_t* into, size_t size) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, into + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) CannotRead(path, std::strerror(errno));
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

// A regular file is measured, then read in one request.
Buffer ReadMeasured(int fd, const char* path, size_t length) {
  Buffer buffer = NewBuffer(length);
  size_t got = ReadUpTo(fd, path, buffer.get(), length);
  if (got != length) {
    CannotRead(path, Format("only %zu of its %zu bytes could be read", got, length).c_str());
  }
  return buffer;
}

// A pipe or device cannot be measured: it is read to its end, but no further
// than one byte past the limit, so an endless one cannot exhaust memory.
Buffer ReadToEnd(int fd, const char* path, size_t& length) {
  const size_t kLimit = static_cast<size_t>(kMaxBinaryLength) + 1;
  size_t room = 64 * 1024;
  Buffer buffer = NewBuffer(room);
  length = 0;
  while (true) {
    size_t got = ReadUpTo(fd, path, buffer.get() + length, room - length);
    length += got;
    if (length >= kLimit) TooLarge(path);
    if (length < room) return buffer;
    room = std::min(2 * room, kLimit);
    uint8_t* grown = static_cast<uint8_t*>(std::realloc(buffer.get(), room));
    if (!grown) throw std::bad_alloc();
    buffer.release();
    buffer.reset(grown);
  }
}

}  // namespace

DataFiles::DataFiles(Arena& arena) : arena(arena) {
  // Half of what the process may open, so that nothing else runs short.
  struct rlimit limit;
  mostOpenFiles = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur / 2 : 0;
}

DataFiles::~DataFiles() {
  for (File& file : files) Free(file);
}

DataFiles::Loaded DataFiles::Load(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) CannotRead(path, std::strerror(errno));
  FdCloser closer{fd};
  struct stat status;
  if (::fstat(fd, &status) != 0) CannotRead(path, std::strerror(errno));
  if (S_ISDIR(status.st_mode)) CannotRead(path, std::strerror(EISDIR));
  File file{nullptr, 0, false, -1};
  // Files of /proc and the like say they are empty and are not: like pipes
  // and devices they are read to their end.
  if (!S_ISREG(status.st_mode) || status.st_size == 0) {
    file.bytes = ReadToEnd(fd, path, file.length).release();
  } else if (status.st_size > kMaxBinaryLength) {
    TooLarge(path);
  } else if (static_cast<size_t>(status.st_size) <= kArenaUpTo) {
    size_t length = static_cast<size_t>(status.st_size);
    uint8_t* bytes = arena.MakeArray<uint8_t>(length);
    size_t got = ReadUpTo(fd, path, bytes, length);
    if (got != length)
      CannotRead(path, Format("only %zu of its %zu bytes could be read", got, length).c_str());
    return {bytes, static_cast<int32_t>(length), kInArena};
  } else {
    file.length = static_cast<size_t>(status.st_size);
    if (file.length >= kMapFrom) {
      void* mapped = ::mmap(nullptr, file.length, PROT_READ, MAP_PRIVATE, fd, 0);
      if (mapped != MAP_FAILED) file = {mapped, file.length, true, -1};
      if (file.mapped && openFiles < mostOpenFiles) {
        std::swap(file.fd, closer.fd);
        ++openFiles;
      }
    }
    if (!file.mapped) file.bytes = ReadMeasured(fd, path, file.length).release();
  }
  uint32_t number = Keep(file);
  return {static_cast<const uint8_t*>(file.bytes), static_cast<int32_t>(file.length), number};
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
  return number == kInArena ? -1 : files[number - 1].fd;
}

void DataFiles::Free(File& file) {
  if (file.mapped) {
    ::munmap(file.bytes, file.length);
  } else {
    std::free(file.bytes);
  }
  if (file.fd >= 0) {
    ::close(file.fd);
    --openFiles;
  }
  file = {nullptr, 0, false, -1};
}
