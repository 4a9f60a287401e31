// Standard C++ alone, for systems without POSIX calls and for the portable
// build on any system: memory from the heap, files through the C library's
// binary streams, nothing mapped and nothing copied by the kernel. On Windows
// the temporary file replaces the target with MoveFileExW, which a rename
// cannot do there, and the standard streams are put in binary mode.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/platform.h"
#include "platform/read_to_end.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace platform {

void* AllocatePages(size_t size, bool) { return std::calloc(size ? size : 1, 1); }

void FreePages(void* pages, size_t) { std::free(pages); }

namespace {

namespace fs = std::filesystem;

// A fault of the stream, or the reason its bytes ran out early.
ReadStatus Failed(FILE* file, size_t got, size_t length, std::string& reason) {
  reason = std::ferror(file) ? std::strerror(errno ? errno : EIO)
                             : "only " + std::to_string(got) + " of its " +
                                   std::to_string(length) + " bytes could be read";
  return ReadStatus::kFailed;
}

struct Closer {
  FILE* file;
  ~Closer() { std::fclose(file); }
};

}  // namespace

ReadStatus ReadDataFile(const char* path, const DataFileRequest& request, DataFile& data,
                        std::string& reason) {
  data = {};
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (fs::is_directory(status)) {
    reason = std::strerror(EISDIR);
    return ReadStatus::kFailed;
  }
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    reason = std::strerror(errno);
    return ReadStatus::kFailed;
  }
  Closer closer{file};
  uintmax_t size = fs::is_regular_file(status) ? fs::file_size(path, error) : 0;
  if (error || size == 0) {
    auto read = [&](uint8_t* into, size_t count, size_t& got) {
      got = std::fread(into, 1, count, file);
      return !std::ferror(file);
    };
    ReadStatus status = ReadToEnd(read, request.limit, data);
    if (status == ReadStatus::kFailed) Failed(file, 0, 0, reason);
    return status;
  }
  if (size > request.limit) return ReadStatus::kTooLarge;
  size_t length = static_cast<size_t>(size);
  data.inSmall = length <= request.smallUpTo;
  data.bytes = data.inSmall ? request.small(length) : static_cast<uint8_t*>(std::malloc(length));
  if (!data.bytes) throw std::bad_alloc();
  size_t got = std::fread(data.bytes, 1, length, file);
  if (got != length) return Failed(file, got, length, reason);
  data.length = length;
  return ReadStatus::kRead;
}

void FreeDataFile(DataFile& data) {
  if (!data.inSmall) std::free(data.bytes);
  data = {};
}

size_t MostOpenFiles() { return FOPEN_MAX; }

PathKind GetPathKind(const std::string& path, unsigned& mode) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return PathKind::kMissing;
  mode = static_cast<unsigned>(status.permissions()) & 07777;
  return fs::is_regular_file(status) ? PathKind::kRegular
         : fs::is_directory(status)    ? PathKind::kDirectory
                                       : PathKind::kOther;
}

std::string ResolveLink(const std::string& path) {
  std::error_code error;
  if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
  fs::path target = fs::canonical(path, error);
  return error ? path : target.string();
}

// Standard C++ cannot read the mask for new files: 0 stands for the bits a
// file gets when it is made.
unsigned NewFileMode() { return 0; }

intptr_t CreateTemporary(const std::string& target, unsigned mode, std::string& temporary,
                         int& error) {
  size_t slash = target.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::random_device seed;
  std::mt19937 random(seed());
  for (int tries = 0; tries < 100; ++tries) {
    temporary = folder + ".pkgembed-" + std::to_string(random() % 1000000000);
    std::error_code ignored;
    if (fs::exists(fs::symlink_status(temporary, ignored))) continue;
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) break;
    if (mode) fs::permissions(temporary, static_cast<fs::perms>(mode), ignored);
    return reinterpret_cast<intptr_t>(file);
  }
  error = errno ? errno : EEXIST;
  return -1;
}

intptr_t OpenForWriting(const std::string& path, int& error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = errno;
    return -1;
  }
  return reinterpret_cast<intptr_t>(file);
}

bool WriteRuns(intptr_t output, const std::vector<Run>& runs, int& error) {
  FILE* file = reinterpret_cast<FILE*>(output);
  for (const Run& run : runs) {
    if (std::fwrite(run.bytes, 1, run.count, file) != run.count) {
      error = errno ? errno : EIO;
      return false;
    }
  }
  if (std::fflush(file) != 0) {
    error = errno ? errno : EIO;
    return false;
  }
  return true;
}

bool CloseOutput(intptr_t output, int& error) {
  if (std::fclose(reinterpret_cast<FILE*>(output)) == 0) return true;
  error = errno ? errno : EIO;
  return false;
}

#ifdef _WIN32
namespace {
// Paths are taken as the C library takes them, in the system's code page.
std::wstring Wide(const std::string& path) {
  int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  return wide;
}
}  // namespace

bool PutInPlace(const std::string& from, const std::string& to, int& error) {
  // A read-only package stays as it is, as Windows keeps it from being
  // written (some emulations of Windows would replace it).
  DWORD attributes = GetFileAttributesW(Wide(to).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    error = EACCES;
    return false;
  }
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DWORD code = GetLastError();
  // A target that is read-only or open elsewhere cannot be replaced.
  error = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? EACCES
          : code == ERROR_PATH_NOT_FOUND                                   ? ENOENT
                                                                           : EIO;
  return false;
}

void SetUpStandardOutput(char* buffer, size_t size) {
  // Messages too: the same bytes on every system.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (!_isatty(_fileno(stdout))) std::setvbuf(stdout, buffer, _IOFBF, size);
}

void SetBinaryInput() { _setmode(_fileno(stdin), _O_BINARY); }
#else
bool PutInPlace(const std::string& from, const std::string& to, int& error) {
  std::error_code failure;
  fs::rename(from, to, failure);
  error = failure.value();
  return !failure;
}

void SetUpStandardOutput(char*, size_t) {}

void SetBinaryInput() {}
#endif

void RemoveFile(const std::string& path) {
  // A temporary file that took a read-only package's mode is writable again
  // first, since Windows refuses to remove a read-only file.
  std::error_code ignored;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
  std::remove(path.c_str());
}

}  // namespace platform
