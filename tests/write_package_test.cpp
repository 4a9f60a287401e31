#include "packaging/write_package.h"

#include <gtest/gtest.h>

#include "packaging/big_endian.h"
#include "packaging/package.h"
#include "tests/test_support.h"

TEST(WritePackageTest, PackageNameIsTheBareFileName) {
  struct Case {
    const char* path;
    std::string name;
  } cases[] = {
      {"C:\\work\\demo.pkg", "demo"}, {"demo", "demo"},  {"dir/demo.pkg", "demo"},
      {"a.b.pkg", "a.b"},             {"x.d/demo", "demo"}, {".pkg", ""},
      {"C:", ""},                     {"a\\b/c.d\\e.f", "e"},
  };
  for (const Case& c : cases) EXPECT_EQ(PackageName(c.path), c.name) << c.path;
  EXPECT_EQ(PackageName(std::string(300, 'n') + ".pkg"), std::string(255, 'n'));
}

namespace {
// Writes the package of an empty tree as `fileName` and returns the file.
std::string WriteEmptyPackage(const std::string& fileName) {
  TempDir dir;
  Package package;
  testing::internal::CaptureStdout();
  package.WritePackage(dir / fileName);
  testing::internal::GetCapturedStdout();
  return ReadFile(dir / fileName);
}

std::string Word(uint32_t value) {
  uint8_t bytes[4];
  StoreBig32(bytes, value);
  return std::string(reinterpret_cast<char*>(bytes), 4);
}
}  // namespace

TEST(WritePackageTest, DirectoryHoldsTheNameAsUtf16) {
  struct Case {
    std::string fileName;
    std::string nameInfo;  // the name's run, padding included
  } cases[] = {
      {".pkg", std::string(4, '\0')},
      {"abc.pkg", std::string("\0a\0b\0c\0\0", 8)},
      {"ab.pkg", std::string("\0a\0b\0\0\0\0", 8)},
      {"\xE9.pkg", std::string("\0\xE9\0\0", 4)},
  };
  for (const Case& c : cases) {
    std::string file = WriteEmptyPackage(c.fileName);
    int32_t nameLength = static_cast<int32_t>(2 * PackageName(c.fileName).size() + 2);
    int32_t infoOffset = 36 + static_cast<int32_t>(c.nameInfo.size());
    EXPECT_EQ(file.substr(0x14, 8), Word(0x22) + Word(0x240000 | nameLength)) << c.fileName;
    EXPECT_EQ(file.substr(120, c.nameInfo.size()), c.nameInfo) << c.fileName;
    EXPECT_EQ(file.substr(0x4C, 4), Word(infoOffset << 16 | 4)) << c.fileName;
    EXPECT_EQ(file.substr(84 + infoOffset, 4), "auto") << c.fileName;
    // Sizes: the header's is the file's; the entry's two leave out the directory.
    uint32_t directorySize = 84 + infoOffset + 4;
    EXPECT_EQ(file.substr(0x1C, 4), Word(file.size())) << c.fileName;
    EXPECT_EQ(file.substr(0x2C, 4), Word(directorySize)) << c.fileName;
    EXPECT_EQ(file.substr(0x38, 8), Word(file.size() - directorySize) + Word(file.size() - directorySize));
  }
}
