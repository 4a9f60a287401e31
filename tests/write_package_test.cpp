#include "packaging/write_package.h"

#include <gtest/gtest.h>

TEST(WritePackageTest, PackageNameIsTheBareFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\work\\demo.pkg", "demo"}, {"demo", "demo"}, {"dir/demo.pkg", "demo"},
      {"a.b.pkg", "a.b"},             {"x.d/demo", "demo"}, {".pkg", ""},
      {"C:", ""},                     {"a\\b/c.d\\e.f", "e"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(PackageName(path), name) << path;
  EXPECT_EQ(PackageName(std::string(300, 'n') + ".pkg"), std::string(255, 'n'));
}
