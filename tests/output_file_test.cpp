#include "packaging/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/test_support.h"

namespace {
const uint8_t kImage[] = {'p', 'k', 'g'};
}  // namespace

TEST(OutputFileTest, ReplacesWholeFilesKeepingTheirMode) {
  TempDir dir;
  WriteOutputFile(dir / "new.pkg", {{kImage, sizeof kImage}});
  mode_t mask = umask(0);
  umask(mask);
  struct stat status;
  ASSERT_EQ(stat((dir / "new.pkg").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
  WriteFile(dir / "old.pkg", "an older and longer package");
  chmod((dir / "old.pkg").c_str(), 0640);
  symlink("old.pkg", (dir / "link.pkg").c_str());
  WriteOutputFile(dir / "link.pkg", {{kImage, sizeof kImage}});
  EXPECT_EQ(ReadFile(dir / "old.pkg"), "pkg");
  ASSERT_EQ(lstat((dir / "link.pkg").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  ASSERT_EQ(stat((dir / "old.pkg").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
  EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"link.pkg", "new.pkg", "old.pkg"}));
}

