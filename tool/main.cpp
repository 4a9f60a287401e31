#include <unistd.h>

#include <cstdio>

#include "tool/command_line.h"

int main(int argc, char** argv) {
  // The dump of a large package runs to hundreds of thousands of lines: into
  // a file or a pipe it goes in large writes, not one a page.
  static char buffer[1 << 18];
  if (!isatty(STDOUT_FILENO)) std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  return Run(argc, argv);
}
