#include "packaging/output_file.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "objects/errors.h"

namespace {

[[noreturn]] void CannotWrite(const std::string& path, int error) {
  throw OutputError(Format("Couldn't write [%s]: %s\n", path.c_str(), std::strerror(error)));
}

// Writes runs of memory to `fd`, many to a call, going on after short
// writes and interruptions.
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

// Has the kernel copy a file's first bytes to `fd`; from memory where it
// cannot. A file that has become shorter fails the write.
bool CopyFile(int fd, const Piece& piece) {
  off_t offset = 0;
  while (static_cast<size_t>(offset) < piece.count) {
    ssize_t sent = ::sendfile(fd, piece.fd, &offset, piece.count - static_cast<size_t>(offset));
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EINVAL || errno == ENOSYS)) {
      return WriteVectors(fd, {{const_cast<uint8_t*>(piece.bytes) + offset,
                                piece.count - static_cast<size_t>(offset)}});
    }
    if (sent <= 0) {
      if (sent == 0) errno = EIO;
      return false;
    }
  }
  return true;
}

bool WriteAll(int fd, const std::vector<Piece>& pieces) {
  std::vector<iovec> vectors;
  for (const Piece& piece : pieces) {
    if (piece.fd < 0) {
      if (piece.count > 0) vectors.push_back({const_cast<uint8_t*>(piece.bytes), piece.count});
      continue;
    }
    if (!WriteVectors(fd, std::move(vectors)) || !CopyFile(fd, piece)) return false;
    vectors.clear();
  }
  return WriteVectors(fd, std::move(vectors));
}

// Devices and pipes cannot be replaced by a rename; they get the bytes as
// they come.
void WriteDirectly(const std::string& path, const std::vector<Piece>& pieces) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) CannotWrite(path, errno);
  bool written = WriteAll(fd, pieces);
  int error = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) CannotWrite(path, error);
}

mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void WriteByRename(const std::string& path, mode_t mode, const std::vector<Piece>& pieces) {
  // Beside the target, so that the rename stays on one file system; a short
  // name of its own, so that it fits wherever the target's name fits.
  size_t slash = path.find_last_of('/');
  std::string temporary =
      (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + ".pkgembed-XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) CannotWrite(path, errno);
  bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, pieces);
  int error = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && ::rename(temporary.c_str(), path.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    CannotWrite(path, error);
  }
}

// A link to a package is kept: the package it names is the one replaced.
std::string ResolveLink(const std::string& path) {
  struct stat status;
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

}  // namespace

void WriteOutputFile(const std::string& path, const std::vector<Piece>& pieces) {
  std::string target = ResolveLink(path);
  struct stat status;
  if (::stat(target.c_str(), &status) != 0) {
    WriteByRename(target, NewFileMode(), pieces);
  } else if (S_ISREG(status.st_mode)) {
    WriteByRename(target, status.st_mode & 07777, pieces);
  } else {
    WriteDirectly(target, pieces);
  }
}
