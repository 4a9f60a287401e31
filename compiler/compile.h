#pragma once

#include <string>
#include <string_view>

// A NewtonScript program compiled into a package file: its bytes, or where
// it is faulty and what is wrong (line and column from 1).
struct Compiled {
  std::string package;
  std::string error;
  int line = 0, column = 0;
};
Compiled CompileSource(std::string_view source);
