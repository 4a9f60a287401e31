#pragma once

#include <map>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "tests/package_builder.h"

// NewtonScript functions assembled from text, as packages for the
// decompiler's tests. Instructions are separated by ';' or new lines, each
// `[LABEL:] name [operand]`:
//   push 'sym | "text" | int:N | real:X | array:1,2 | frame:a=1,b=2 |
//        map:a,b | path:a,b | fn:NAME | word:HEX (a Ref as it is)
//   push-constant nil | true | N | $c | @N | pc:LABEL
//   branch... LABEL    freq-func NAME    make-array N | sized
//   find-var / find-and-set-var 'sym    others: a number
struct FunctionPlan {
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

using Ref = std::variant<uint32_t, std::string>;  // a number, or an object's label

// The objects of one package, symbols made once each.
class PackageObjects {
 public:
  std::string Sym(const std::string& name);
  std::string New(Obj obj);
  // A frame map naming `names` (NIL for an empty one), with the flags given.
  std::string Map(const std::vector<std::string>& names, uint32_t flags);
  std::string String(const std::string& text);
  std::string Frame(const std::vector<std::pair<std::string, Ref>>& slots);
  // A function; `functions` names the function objects that its `fn:` pushes
  // refer to.
  std::string Function(const FunctionPlan& plan, bool nos1, bool names,
                       const std::map<std::string, std::string>& functions = {});
  // The package whose root array holds `root`.
  Built Package(const std::string& root, bool nos1);

 private:
  std::vector<Obj> list;
  std::set<std::string> made;
  std::map<std::string, std::string> maps;
};

// A package whose one part's root array holds the function `plans[0]`, in
// the Newton OS 1 format (argFrame names) or the Newton OS 2 one
// (DebuggerInfo names, or none); the other plans are functions it may push.
Built FunctionPackage(const std::vector<FunctionPlan>& plans, bool nos1, bool names = true);
