#include "objects/loader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "objects/arena.h"
#include "objects/errors.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/unique_file.h"
#include "objects/utility.h"

namespace {

// The bytecode of every native function's bcFunc; one table for all of them.
const uint8_t kNativeFunctionBytecode[] = {0x22, 0x02};

[[noreturn]] void CannotRead(const char* path, const char* reason) {
  throw InputError(Format("Couldn't read data file [%s]: %s!\n", path, reason));
}

[[noreturn]] void TooLarge(const char* path) {
  throw InputError(Format("Data file [%s] is too large: a binary object holds at most %d bytes!\n",
                          path, kMaxBinaryLength));
}

// A regular file is measured and read in one request.
void ReadMeasured(FILE* file, const char* path, off_t length, std::vector<uint8_t>& buffer) {
  if (length > kMaxBinaryLength) TooLarge(path);
  buffer.resize(static_cast<size_t>(length));
  size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
  if (std::ferror(file)) CannotRead(path, std::strerror(errno));
  if (got != buffer.size()) {
    CannotRead(path, Format("only %zu of its %zu bytes could be read", got, buffer.size()).c_str());
  }
}

// A pipe or device cannot be measured by seeking: read it to its end, but no
// further than one byte past the limit, so an endless one cannot exhaust memory.
void ReadToEnd(FILE* file, const char* path, std::vector<uint8_t>& buffer) {
  const size_t kChunk = 1 << 16;
  size_t length = 0;
  while (true) {
    size_t room = std::min(kChunk, static_cast<size_t>(kMaxBinaryLength) + 1 - length);
    buffer.resize(length + room);
    size_t got = std::fread(buffer.data() + length, 1, room, file);
    length += got;
    if (length > static_cast<size_t>(kMaxBinaryLength)) TooLarge(path);
    if (got < room) break;
  }
  if (std::ferror(file)) CannotRead(path, std::strerror(errno));
  buffer.resize(length);
}

}  // namespace

const std::vector<uint8_t>& ReadDataFile(const char* path) {
  UniqueFile file(std::fopen(path, "rb"));
  if (!file) CannotRead(path, std::strerror(errno));
  struct stat status;
  if (fstat(fileno(file.get()), &status) != 0) CannotRead(path, std::strerror(errno));
  if (S_ISDIR(status.st_mode)) CannotRead(path, std::strerror(EISDIR));
  auto* buffer = New<std::vector<uint8_t>>();
  if (S_ISREG(status.st_mode)) {
    ReadMeasured(file.get(), path, status.st_size, *buffer);
  } else {
    ReadToEnd(file.get(), path, *buffer);
  }
  return *buffer;
}

Ref* LoadBinaryFile(Ref* classSymbol, const char* path) {
  const std::vector<uint8_t>& bytes = ReadDataFile(path);
  return NewBinaryRef(classSymbol, bytes.data(), static_cast<int32_t>(bytes.size()));
}

Ref* NewNativeFunction(const char* path, int32_t numArgs) {
  const std::vector<uint8_t>& code = ReadDataFile(path);
  Ref* function = NewFrameRef();
  function->SetSlot(NewSymbolRef("class"), ImmediateRef(Ref::kNativeFunctionClass));
  function->SetSlot(NewSymbolRef("code"), NewBinaryRef(NewSymbolRef("code"), code.data(),
                                                       static_cast<int32_t>(code.size())));
  function->SetSlot(NewSymbolRef("numArgs"), IntegerRef(numArgs));
  Ref* closure = NewFrameRef();
  for (const char* name : {"_nextArgFrame", "_parent", "_implementor", "_literals"}) {
    closure->SetSlot(NewSymbolRef(name), NewFrameRef());
  }
  function->SetSlot(NewSymbolRef("closure"), closure);
  function->SetSlot(NewSymbolRef("offset"), IntegerRef(0));
  function->SetSlot(NewSymbolRef("bcFunc"),
                    NewCodeBlock(kNativeFunctionBytecode, sizeof kNativeFunctionBytecode, NilRef(),
                                 numArgs));
  return function;
}
