#pragma once

// The whole run of pkgcompile:
//   pkgcompile [-o OUTPUT.pkg] SOURCE.ns
//   pkgcompile --help | --version
// Returns the exit status: 0 when the package was written, 1 for a faulty
// source (each fault on standard error as FILE:LINE:COLUMN: what is wrong,
// and nothing written) or an output that could not be written, 2 for wrong
// arguments or a source that cannot be read.
int RunCompile(int argc, char** argv);
