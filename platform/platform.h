#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Every call to the operating system that the tools make, behind one narrow
// interface: fresh memory, reading a data file whole, and writing the output
// file. posix.cpp serves Linux (which copies large files in the kernel and
// maps memory with its pages in place) and the other POSIX systems;
// portable.cpp does the same with standard C++ alone, plus the atomic replace
// of a file on Windows. Errors are errno values, for std::strerror.
namespace platform {

// Zeroed memory of `size` bytes, or null. `whole` says all of it will be
// used, so that its pages may be put in place at once.
void* AllocatePages(size_t size, bool whole);
void FreePages(void* pages, size_t size);

// A data file read whole: its bytes are in memory of their own (malloc'd or
// mapped), or, for a small file, where `small` said.
struct DataFile {
  uint8_t* bytes = nullptr;
  size_t length = 0;
  bool mapped = false;
  bool inSmall = false;
  int handle = -1;  // kept open so that CopyFile can send its bytes, or -1
};
struct DataFileRequest {
  size_t limit;            // the longest file accepted
  size_t smallUpTo;        // regular files up to this length go to `small`
  size_t mapFrom;          // regular files from this length may be mapped
  bool keepHandle;         // a mapped file's handle may stay open
  std::function<uint8_t*(size_t)> small;
};
enum class ReadStatus { kRead, kFailed, kTooLarge };
// On kFailed, `reason` says why ("No such file or directory", "only 3 of its
// 5 bytes could be read").
ReadStatus ReadDataFile(const char* path, const DataFileRequest& request, DataFile& file,
                        std::string& reason);
// Frees what ReadDataFile kept (not the bytes in `small`).
void FreeDataFile(DataFile& file);
// How many files the process may have open at once.
size_t MostOpenFiles();

// Output files. A handle is open for writing; a run of bytes is memory, or,
// where `handle` is not -1, the first `count` bytes of that data file.
struct Run {
  const uint8_t* bytes;
  size_t count;
  int handle = -1;
};
enum class PathKind { kMissing, kRegular, kDirectory, kOther };
// What is at `path`, and for a regular file its permission bits.
PathKind GetPathKind(const std::string& path, unsigned& mode);
// The file a symbolic link names, or the path itself.
std::string ResolveLink(const std::string& path);
// The permission bits of a new file.
unsigned NewFileMode();
// A new file of a unique name beside `target`, with `mode`; its name goes to
// `temporary`. -1 with `error` set where none can be made.
intptr_t CreateTemporary(const std::string& target, unsigned mode, std::string& temporary,
                         int& error);
intptr_t OpenForWriting(const std::string& path, int& error);
bool WriteRuns(intptr_t output, const std::vector<Run>& runs, int& error);
bool CloseOutput(intptr_t output, int& error);
// Puts `from` in the place of `to` in one step, replacing what is there.
bool PutInPlace(const std::string& from, const std::string& to, int& error);
void RemoveFile(const std::string& path);

// Standard output in binary mode, so that no byte is changed on the way, and
// in large writes where it is no terminal.
void SetUpStandardOutput(char* buffer, size_t size);
// Binary mode for standard input, which may hold a package.
void SetBinaryInput();

}  // namespace platform
