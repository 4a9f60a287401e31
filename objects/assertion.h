#pragma once

// Internal checks of the object model and the package image. A failed check
// reports "Assertion failed: <expression>, file <file>, line <line>" on
// standard error and ends the process with status 3. The expression, file and
// line are part of the tool's interface, so every caller names them itself.

[[noreturn]] void AssertionFailed(const char* expression, const char* file, int line);

inline void Check(bool holds, const char* expression, const char* file, int line) {
  if (!holds) AssertionFailed(expression, file, line);
}
