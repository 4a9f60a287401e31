#pragma once

// The whole run of the tool: checks the arguments, builds the package and
// writes it. Returns the exit status: 0 when the package was written, 1 for
// the usage text, the refused MOD form, a faulty contents script, a data file
// that cannot be used, a limit of the package format or a failed write.
int Run(int argc, char** argv);
