#include "packaging/package.h"

#include <gtest/gtest.h>

#include <climits>

#include "objects/errors.h"

// Offsets and pointers of the format are signed 32-bit numbers: the image may
// reach INT32_MAX bytes and not one more.
TEST(PackageTest, ImageStopsAtTheLargestOffset) {
  Package package;
  EXPECT_EQ(package.Allocate(1, INT32_MAX - 1), 0);
  EXPECT_EQ(package.Allocate(1, 1), INT32_MAX - 1);
  EXPECT_THROW(package.Allocate(1, 1), InputError);
  EXPECT_EQ(package.GetPackageDataSize(), INT32_MAX);
}
