#include "objects/symbol.h"

#include <gtest/gtest.h>

// Only a-z are folded (not the bytes either side), and bytes count as signed
// chars.
TEST(SymbolTest, HashFoldsOnlyAsciiLowerCaseLetters) {
  const uint32_t k = 0x9E3779B9;
  const std::pair<const char*, uint32_t> cases[] = {
      {"", 0},
      {"abc", 0x5EE82516},
      {"ABC", 0x5EE82516},
      {"\xE9", 0xC9041061},
      {"\xC9", -55 * k},
      {"`az{", (0x60 + 'A' + 'Z' + 0x7B) * k},
  };
  for (const auto& [name, hash] : cases) EXPECT_EQ(SymbolHash(name), hash) << name;
}
