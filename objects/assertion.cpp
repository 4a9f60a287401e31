#include "objects/assertion.h"

#include <cstdio>
#include <cstdlib>

void AssertionFailed(const char* expression, const char* file, int line) {
  // Whatever the dump has printed so far must survive the stop.
  std::fflush(stdout);
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, file, line);
  std::exit(3);
}
