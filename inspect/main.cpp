#include "inspect/inspect_command.h"

int main(int argc, char** argv) { return RunInspect(argc, argv); }
