#include <cstdio>

#include "platform/platform.h"
#include "commands/inspect_command.h"

int main(int argc, char** argv) {
  // A report can be long: into a file or a pipe it goes in large writes.
  static char buffer[1 << 18];
  platform::SetUpStandardOutput(buffer, sizeof buffer);
  return RunInspect(argc, argv);
}
