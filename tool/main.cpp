#include <cstdio>

#include "platform/platform.h"
#include "tool/command_line.h"

int main(int argc, char** argv) {
  // The dump of a large package runs to hundreds of thousands of lines: into
  // a file or a pipe it goes in large writes, not one a page.
  static char buffer[1 << 18];
  platform::SetUpStandardOutput(buffer, sizeof buffer);
  return Run(argc, argv);
}
