#include "packaging/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Writes all of `data` to `fd`, going on after short writes and interruptions.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Devices and pipes cannot be replaced by a rename; they get the bytes as
// they come.
void WriteDirectly(const std::string& path, const uint8_t* data, size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) CannotWrite(path, errno);
  bool written = WriteAll(fd, data, size);
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

void WriteByRename(const std::string& path, mode_t mode, const uint8_t* data, size_t size) {
  // Beside the target, so that the rename stays on one file system; a short
  // name of its own, so that it fits wherever the target's name fits.
  size_t slash = path.find_last_of('/');
  std::string temporary =
      (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + ".pkgembed-XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) CannotWrite(path, errno);
  bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, data, size);
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

void WriteOutputFile(const std::string& path, const uint8_t* data, size_t size) {
  std::string target = ResolveLink(path);
  struct stat status;
  if (::stat(target.c_str(), &status) != 0) {
    WriteByRename(target, NewFileMode(), data, size);
  } else if (S_ISREG(status.st_mode)) {
    WriteByRename(target, status.st_mode & 07777, data, size);
  } else {
    WriteDirectly(target, data, size);
  }
}
