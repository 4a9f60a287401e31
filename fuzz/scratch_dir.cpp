#include "fuzz/scratch_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

void WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(name, "wb");
  if (!file) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);
}

namespace {
std::string scratch;

void RemoveScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
}
}  // namespace

void EnterScratchDir() {
  char pattern[] = "/tmp/pkgembed-fuzz-XXXXXX";
  if (!mkdtemp(pattern) || chdir(pattern) != 0) std::abort();
  scratch = pattern;
  std::atexit(RemoveScratchDir);
  const uint8_t code[] = {0xE3, 0xA0, 0x00, 0xA8, 0xE1, 0xA0, 0xF0, 0x0E};
  std::string long_data(100, 'x');
  WriteScratchFile("a.bin", code, sizeof code);
  WriteScratchFile("empty.bin", nullptr, 0);
  WriteScratchFile("long.bin", reinterpret_cast<const uint8_t*>(long_data.data()),
                   long_data.size());
  mkdir("dir", 0755);
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}
