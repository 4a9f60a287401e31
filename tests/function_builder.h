#pragma once

#include <string>
#include <vector>

#include "tests/package_builder.h"

// NewtonScript functions assembled from text, as packages for the
// decompiler's tests. Instructions are separated by ';' or new lines, each
// `[LABEL:] name [operand]`:
//   push 'sym | "text" | int:N | real:X | array:1,2 | frame:a=1,b=2 |
//        map:a,b | fn:NAME
//   push-constant nil | true | N | $c | @N | pc:LABEL
//   branch... LABEL    freq-func NAME    make-array N | sized
//   find-var / find-and-set-var 'sym    others: a number
struct FunctionSpec {
  std::string name;
  std::vector<std::string> args, locals;
  std::string code;
  // Newton OS 2: variables in the argFrame, reached by name.
  std::vector<std::string> captured;
  // The instructions as they are, in place of `code`, for broken ones.
  std::string bytes;
  // Literals put first, as operands of push would give them.
  std::vector<std::string> literals;
};

// A package whose one part's root array holds the function `specs[0]`, in
// the Newton OS 1 format (argFrame names) or the Newton OS 2 one
// (DebuggerInfo names, or none); the other specs are functions it may push.
Built FunctionPackage(const std::vector<FunctionSpec>& specs, bool nos1, bool names = true);
