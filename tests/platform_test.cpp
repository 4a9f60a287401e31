// Data files as the platform layer reads them, the same in the POSIX and the
// portable builds: where their bytes go, the limit, and why a read fails.

#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include "platform/read_to_end.h"
#include "tests/test_support.h"

namespace {

struct Read {
  platform::ReadStatus status;
  std::string bytes, reason;
  bool inSmall;
};

// Files up to 4 bytes go to a buffer of the caller's, from 8 they may be
// mapped; the limit is 16 bytes.
Read ReadData(const std::string& path, size_t limit = 16) {
  static uint8_t small[4];
  platform::DataFileRequest request{limit, sizeof small, 8, true, [](size_t) { return small; }};
  platform::DataFile file;
  Read read;
  read.status = platform::ReadDataFile(path.c_str(), request, file, read.reason);
  if (read.status == platform::ReadStatus::kRead) read.bytes.assign(reinterpret_cast<char*>(file.bytes), file.length);
  read.inSmall = file.inSmall;
  platform::FreeDataFile(file);
  return read;
}

}  // namespace

TEST(PlatformTest, DataFilesAreReadWholeWithinTheLimit) {
  TempDir dir;
  const std::string sixteen = "0123456789abcdef";
  WriteFile(dir / "empty", "");
  WriteFile(dir / "small", "abc");
  WriteFile(dir / "mapped", sixteen);
  WriteFile(dir / "large", sixteen + "!");
  mkdir((dir / "folder").c_str(), 0755);
  using platform::ReadStatus;
  const struct {
    const char* name;
    ReadStatus status;
    std::string bytes;
    bool inSmall;
    std::string reason;
  } kRows[] = {
      {"empty", ReadStatus::kRead, "", false, ""},
      {"small", ReadStatus::kRead, "abc", true, ""},
      {"mapped", ReadStatus::kRead, sixteen, false, ""},
      {"large", ReadStatus::kTooLarge, "", false, ""},
      {"missing", ReadStatus::kFailed, "", false, std::strerror(ENOENT)},
      {"folder", ReadStatus::kFailed, "", false, std::strerror(EISDIR)},
  };
  for (const auto& row : kRows) {
    Read read = ReadData(dir / row.name);
    EXPECT_EQ(read.status, row.status) << row.name;
    EXPECT_EQ(read.bytes, row.bytes) << row.name;
    EXPECT_EQ(read.reason, row.reason) << row.name;
    // An empty file is read to its end, as a pipe is: nothing of it is small.
    if (row.status == ReadStatus::kRead && row.bytes.size()) {
      EXPECT_EQ(read.inSmall, row.inSmall) << row.name;
    }
  }
}

// A pipe cannot be measured: it is read to its end, but no further than just
// past the limit, however much it holds.
TEST(PlatformTest, APipeIsReadToItsEndOrToJustPastTheLimit) {
  TempDir dir;
  // The writer finds the pipe closed where the reader stops early.
  auto pipeSignal = std::signal(SIGPIPE, SIG_IGN);
  for (size_t length : {size_t{0}, size_t{16}, size_t{17}, size_t{1} << 20}) {
    std::string fifo = dir / ("fifo" + std::to_string(length));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
      FILE* out = std::fopen(fifo.c_str(), "wb");
      std::string bytes(length, 'x');
      std::fwrite(bytes.data(), 1, bytes.size(), out);  // short where the reader stops early
      std::fclose(out);
    });
    Read read = ReadData(fifo);
    writer.join();
    EXPECT_EQ(read.status, length <= 16 ? platform::ReadStatus::kRead : platform::ReadStatus::kTooLarge) << length;
    if (length <= 16) {
      EXPECT_EQ(read.bytes, std::string(length, 'x'));
    }
  }
  std::signal(SIGPIPE, pipeSignal);
}

// Blocks grow from 64 KiB to the limit: every size around a block's edge is
// read whole or found too large, and a read's error ends it.
TEST(PlatformTest, ReadToEndGrowsItsBlocksToTheLimit) {
  const size_t kLimit = 200 * 1024;
  for (size_t length : {size_t{65535}, size_t{65536}, size_t{65537}, kLimit, kLimit + 1, kLimit * 3}) {
    size_t given = 0;
    auto read = [&](uint8_t* into, size_t count, size_t& got) {
      got = std::min(count, length - given);
      for (size_t k = 0; k < got; ++k) into[k] = static_cast<uint8_t>(given + k);
      given += got;
      return true;
    };
    platform::DataFile file;
    platform::ReadStatus status = platform::ReadToEnd(read, kLimit, file);
    EXPECT_EQ(status, length <= kLimit ? platform::ReadStatus::kRead : platform::ReadStatus::kTooLarge) << length;
    if (status == platform::ReadStatus::kRead) {
      EXPECT_EQ(file.length, length);
      EXPECT_EQ(file.bytes[length - 1], static_cast<uint8_t>(length - 1));
    }
    EXPECT_LE(given, kLimit + 1);
    std::free(file.bytes);
  }
  platform::DataFile file;
  auto failing = [](uint8_t*, size_t, size_t& got) { return (got = 0, false); };
  EXPECT_EQ(platform::ReadToEnd(failing, kLimit, file), platform::ReadStatus::kFailed);
  std::free(file.bytes);
}
