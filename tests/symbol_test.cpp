#include "objects/symbol.h"

#include <gtest/gtest.h>

#include <cstring>

#include "objects/object.h"
#include "objects/ref.h"
#include "packaging/package.h"

TEST(SymbolTest, HashFoldsOnlyAsciiLowerCaseLetters) {
  const uint32_t k = 0x9E3779B9;
  struct Case {
    const char* name;
    uint32_t hash;
  } cases[] = {
      {"", 0},
      {"abc", 0x5EE82516},
      {"ABC", 0x5EE82516},
      {"\xE9", 0xC9041061},
      {"\xC9", static_cast<uint32_t>(-55) * k},
      {"`", 0x60 * k},  // just below 'a'
      {"{", 0x7B * k},  // just above 'z'
  };
  for (const Case& c : cases) EXPECT_EQ(SymbolHash(c.name), c.hash) << c.name;
}

TEST(SymbolTest, EqualityIgnoresAsciiCaseOnly) {
  Package package;
  Ref* lower = NewSymbolRef("abc");
  Ref* upper = NewSymbolRef("ABC");
  EXPECT_NE(lower->target, upper->target);
  EXPECT_TRUE(lower->SymbolEquals(upper));
  EXPECT_TRUE(lower->SymbolEquals(lower));
  EXPECT_STREQ(upper->SymbolName(), "ABC");
  Object* empty = NewSymbolRef("")->target;
  ASSERT_EQ(empty->BinaryLength(), 5);
  EXPECT_EQ(std::memcmp(empty->BinaryData(), "\0\0\0\0", 5), 0);
  EXPECT_FALSE(NewSymbolRef("\xE9")->SymbolEquals(NewSymbolRef("\xC9")));
  EXPECT_FALSE(NewSymbolRef("abc")->SymbolEquals(NewSymbolRef("abd")));
}
