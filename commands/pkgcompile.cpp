#include <cstdio>

#include "commands/compile_command.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  static char buffer[1 << 16];
  platform::SetUpStandardOutput(buffer, sizeof buffer);
  return RunCompile(argc, argv);
}
