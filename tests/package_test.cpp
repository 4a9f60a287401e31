#include "packaging/package.h"

#include <gtest/gtest.h>

#include "objects/errors.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "tests/test_support.h"

TEST(PackageTest, NewPackageHasPartZeroWithOneEmptyFrame) {
  for (int round = 0; round < 2; ++round) {  // a second Package starts afresh
    Package package;
    EXPECT_EQ(&CurrentPackage(), &package);
    EXPECT_EQ(package.NumberOfParts(), 1);
    EXPECT_EQ(package.GetPackageDataSize(), 0);
    Object* root = package.GetPart(0)->GetRoot();
    ASSERT_EQ(root->NumberOfIndexes(), 1);
    EXPECT_TRUE(root->GetClass()->IsNIL());
    ASSERT_TRUE(root->GetElement(0)->IsFrame());
    EXPECT_EQ(root->GetElement(0)->target->NumberOfSlots(), 0);
  }
}

TEST(PackageTest, AllocateAlignsTheRunItReserves) {
  struct Case {
    int32_t before, alignment, size, offset, after;
  } cases[] = {
      {138, 4, 0, 140, 140}, {140, 4, 0, 140, 140}, {137, 4, 5, 140, 145}, {137, 1, 3, 137, 140},
  };
  for (const Case& c : cases) {
    Package package;
    package.Allocate(1, c.before);
    EXPECT_EQ(package.Allocate(c.alignment, c.size), c.offset) << c.before;
    EXPECT_EQ(package.GetPackageDataSize(), c.after) << c.before;
  }
}

TEST(PackageTest, WriteBytesStaysInsideTheImage) {
  Package package;
  package.Allocate(4, 6);
  package.WriteBytes("ab", 0, 6);
  package.WriteBytes("ab", 2, 4);
  package.WriteBytes("xyz", 3, -1);  // appended, unaligned
  EXPECT_EQ(package.GetPackageDataSize(), 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(package.GetPackageData()), 9),
            std::string("\0\0\0\0abxyz", 9));
  EXPECT_STOPS(package.WriteBytes("ab", 2, 8), "location+count<=packageDataSize", "package", 89);
}

TEST(PackageTest, GetPartChecksItsIndex) {
  Package package;
  EXPECT_EQ(package.GetPart(0), package.GetPart(0));
  EXPECT_STOPS(package.GetPart(1), "partNumber<nParts", "package", 33);
  EXPECT_STOPS(package.GetPart(-1), "partNumber>=0", "package", 32);
}

TEST(PackageTest, ImageStaysWithinSigned32BitOffsets) {
  Package package;
  package.Allocate(1, 1);
  EXPECT_THROW(package.Allocate(4, INT32_MAX - 2), InputError);
  EXPECT_EQ(package.GetPackageDataSize(), 1);
}
