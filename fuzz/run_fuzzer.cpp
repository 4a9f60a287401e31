// Runs the whole tool on a fuzzed script and data file. The input is the
// script, then a zero byte, then the bytes of data.bin. A run that reports
// success must have written a package whose header states its true size.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/scratch_dir.h"
#include "tool/command_line.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnterScratchDir();
  return 0;
}

namespace {
void CheckWrittenPackage() {
  FILE* file = std::fopen("out.pkg", "rb");
  if (!file) std::abort();
  unsigned char header[52];
  size_t got = std::fread(header, 1, sizeof header, file);
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fclose(file);
  long stated = (long{header[28]} << 24) | (header[29] << 16) | (header[30] << 8) | header[31];
  if (got != sizeof header || std::memcmp(header, "package1", 8) != 0 || stated != size) {
    std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  size_t scriptSize = end ? static_cast<size_t>(end - data) : size;
  if (std::memchr(data, '/', scriptSize)) return -1;
  WriteScratchFile("contents.script", data, scriptSize);
  size_t dataStart = end ? scriptSize + 1 : size;
  WriteScratchFile("data.bin", data + dataStart, size - dataStart);
  std::remove("out.pkg");
  char program[] = "pkgembed", output[] = "out.pkg", symbol[] = "Fuzz:SIG",
       script[] = "contents.script";
  char* argv[] = {program, output, symbol, script, nullptr};
  if (Run(4, argv) == 0) CheckWrittenPackage();
  return 0;
}
