// Linux and the other POSIX systems. Where the system has them, fresh memory
// comes with its pages in place (MAP_POPULATE) and data files are copied
// into the package by the kernel (sendfile); elsewhere mmap and writev do.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#if PKGEMBED_HAVE_SENDFILE
#include <sys/sendfile.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/read_to_end.h"

namespace platform {

void* AllocatePages(size_t size, bool whole) {
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#if PKGEMBED_HAVE_MAP_POPULATE
  // Touching fresh pages one fault at a time costs about twice as much.
  if (whole) flags |= MAP_POPULATE;
#else
  (void)whole;
#endif
  void* mapped = ::mmap(nullptr, size ? size : 1, PROT_READ | PROT_WRITE, flags, -1, 0);
  return mapped == MAP_FAILED ? nullptr : mapped;
}

void FreePages(void* pages, size_t size) { ::munmap(pages, size ? size : 1); }

namespace {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads up to `size` bytes, going on after short reads; false on an error.
bool ReadUpTo(int fd, uint8_t* into, size_t size, size_t& got) {
  got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, into + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return true;
}

ReadStatus ReadMeasured(int fd, size_t length, uint8_t* into, DataFile& file,
                        std::string& reason) {
  size_t got;
  if (!ReadUpTo(fd, into, length, got)) {
    reason = std::strerror(errno);
    return ReadStatus::kFailed;
  }
  if (got != length) {
    reason = "only " + std::to_string(got) + " of its " + std::to_string(length) +
             " bytes could be read";
    return ReadStatus::kFailed;
  }
  file.length = length;
  return ReadStatus::kRead;
}

}  // namespace

ReadStatus ReadDataFile(const char* path, const DataFileRequest& request, DataFile& file,
                        std::string& reason) {
  file = {};
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return ReadStatus::kFailed;
  }
  FdCloser closer{fd};
  struct stat status;
  if (::fstat(fd, &status) != 0) {
    reason = std::strerror(errno);
    return ReadStatus::kFailed;
  }
  if (S_ISDIR(status.st_mode)) {
    reason = std::strerror(EISDIR);
    return ReadStatus::kFailed;
  }
  // Files of /proc and the like say they are empty and are not: like pipes
  // and devices they are read to their end.
  if (!S_ISREG(status.st_mode) || status.st_size == 0) {
    auto read = [fd](uint8_t* into, size_t count, size_t& got) { return ReadUpTo(fd, into, count, got); };
    ReadStatus result = ReadToEnd(read, request.limit, file);
    if (result == ReadStatus::kFailed) reason = std::strerror(errno);
    return result;
  }
  size_t length = static_cast<size_t>(status.st_size);
  if (static_cast<uint64_t>(status.st_size) > request.limit) return ReadStatus::kTooLarge;
  if (length <= request.smallUpTo) {
    file.inSmall = true;
    file.bytes = request.small(length);
    return ReadMeasured(fd, length, file.bytes, file, reason);
  }
  if (length >= request.mapFrom) {
    void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped != MAP_FAILED) {
      file = {static_cast<uint8_t*>(mapped), length, true, false, -1};
      if (request.keepHandle) std::swap(file.handle, closer.fd);
      return ReadStatus::kRead;
    }
  }
  file.bytes = static_cast<uint8_t*>(std::malloc(length));
  if (!file.bytes) throw std::bad_alloc();
  return ReadMeasured(fd, length, file.bytes, file, reason);
}

void FreeDataFile(DataFile& file) {
  if (file.mapped) {
    ::munmap(file.bytes, file.length);
  } else if (!file.inSmall) {
    std::free(file.bytes);
  }
  if (file.handle >= 0) ::close(file.handle);
  file = {};
}

size_t MostOpenFiles() {
  struct rlimit limit;
  return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 0;
}

namespace {

// Writes runs of memory, many to a call, going on after short writes and
// interruptions.
bool WriteVectors(int fd, std::vector<iovec> vectors) {
  size_t next = 0;
  while (next < vectors.size()) {
    int count = static_cast<int>(std::min<size_t>(vectors.size() - next, IOV_MAX));
    ssize_t written = ::writev(fd, &vectors[next], count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    for (size_t left = static_cast<size_t>(written); left > 0;) {
      size_t step = std::min(left, vectors[next].iov_len);
      vectors[next].iov_base = static_cast<uint8_t*>(vectors[next].iov_base) + step;
      vectors[next].iov_len -= step;
      left -= step;
      if (vectors[next].iov_len == 0) ++next;
    }
  }
  return true;
}

// Has the kernel copy a file's first bytes; from memory where it cannot. A
// file that has become shorter fails the write.
bool CopyFile(int fd, const Run& run) {
  size_t done = 0;
#if PKGEMBED_HAVE_SENDFILE
  off_t offset = 0;
  while (static_cast<size_t>(offset) < run.count) {
    ssize_t sent = ::sendfile(fd, run.handle, &offset, run.count - static_cast<size_t>(offset));
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EINVAL || errno == ENOSYS)) break;
    if (sent <= 0) {
      if (sent == 0) errno = EIO;
      return false;
    }
  }
  done = static_cast<size_t>(offset);
#endif
  if (done == run.count) return true;
  return WriteVectors(fd, {{const_cast<uint8_t*>(run.bytes) + done, run.count - done}});
}

}  // namespace

bool WriteRuns(intptr_t output, const std::vector<Run>& runs, int& error) {
  int fd = static_cast<int>(output);
  std::vector<iovec> vectors;
  bool written = true;
  for (const Run& run : runs) {
    if (run.handle < 0) {
      if (run.count > 0) vectors.push_back({const_cast<uint8_t*>(run.bytes), run.count});
      continue;
    }
    written = WriteVectors(fd, std::move(vectors)) && CopyFile(fd, run);
    vectors.clear();
    if (!written) break;
  }
  written = written && WriteVectors(fd, std::move(vectors));
  if (!written) error = errno;
  return written;
}

PathKind GetPathKind(const std::string& path, unsigned& mode) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return PathKind::kMissing;
  mode = status.st_mode & 07777;
  return S_ISREG(status.st_mode)   ? PathKind::kRegular
         : S_ISDIR(status.st_mode) ? PathKind::kDirectory
                                   : PathKind::kOther;
}

std::string ResolveLink(const std::string& path) {
  struct stat status;
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

unsigned NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

intptr_t CreateTemporary(const std::string& target, unsigned mode, std::string& temporary,
                         int& error) {
  // Beside the target, so that the rename stays on one file system; a short
  // name of its own, so that it fits wherever the target's name fits.
  size_t slash = target.find_last_of('/');
  temporary = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) + ".pkgembed-XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd >= 0 && ::fchmod(fd, mode) != 0) {
    error = errno;
    ::close(fd);
    ::unlink(temporary.c_str());
    return -1;
  }
  if (fd < 0) error = errno;
  return fd;
}

intptr_t OpenForWriting(const std::string& path, int& error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) error = errno;
  return fd;
}

bool CloseOutput(intptr_t output, int& error) {
  if (::close(static_cast<int>(output)) == 0) return true;
  error = errno;
  return false;
}

bool PutInPlace(const std::string& from, const std::string& to, int& error) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  error = errno;
  return false;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

void SetUpStandardOutput(char* buffer, size_t size) {
  if (!::isatty(STDOUT_FILENO)) std::setvbuf(stdout, buffer, _IOFBF, size);
}

void SetBinaryInput() {}

}  // namespace platform
