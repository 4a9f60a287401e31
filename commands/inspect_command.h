#pragma once

// The whole run of pkginspect:
//   pkginspect [--tree | --json | --source] PACKAGE...
//   pkginspect --extract PATH OUTPUT PACKAGE  (an OUTPUT of - is standard output)
//   pkginspect --unpack DIR [--force] PACKAGE...
//   pkginspect --help | --version
// Returns the exit status, the worst of the packages': 0 when a package has
// no fault (and, with --extract, the bytes were written), 1 when faults were
// found or the extraction failed, 2 for wrong arguments or a package that
// cannot be read.
int RunInspect(int argc, char** argv);
