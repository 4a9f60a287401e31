#pragma once

#include <string>
#include <vector>

#include "decompiler/flow.h"
#include "decompiler/function_frame.h"
#include "decompiler/instructions.h"
#include "decompiler/structurer.h"
#include "decompiler/syntax.h"

class SourceText;
class LiteralWriter;

// One NewtonScript function, read in passes: its frame, its instructions,
// their flow and stack depths, then its statements and expressions. Where a
// pass fails the function is still shown, as its disassembly, and the notes
// say why.
class Decompiler {
 public:
  // `frame` is a function frame (IsFunctionFrame) of a tree whose objects
  // have been checked.
  Decompiler(const PrintedTree& tree, const PrintedValue& frame) : Decompiler(tree) { Read(frame); }
  // One to Read() function after function of `tree`: what it holds is kept
  // and used again, which saves the most of the work of a small function.
  explicit Decompiler(const PrintedTree& tree) : tree(tree) {}
  void Read(const PrintedValue& frame);

  bool IsDecoded() const { return decoded; }
  bool IsRecovered() const { return recovered; }
  const FunctionFrame& Function() const { return function; }
  const PrintedTree& Tree() const { return tree; }
  const std::vector<Instruction>& Code() const { return code; }
  // The statements recovered, for those who walk them.
  const Block& Body() const { return body; }
  // What each variable slot became.
  const std::vector<Structurer::Role>& Roles() const { return roles; }
  const std::vector<std::string>& Notes() const { return notes; }
  std::vector<std::string> ArgumentNames() const;
  // The locals the function's frame gives room for.
  std::vector<std::string> LocalNames() const;
  // The locals the source declares: the compiler's hidden ones and the loop
  // variables left out, captured ones added.
  std::vector<std::string> DeclaredLocals() const;
  // Every local the function has, in the order of its slots, but those the
  // compiler adds for loops, and then those a Newton OS 2 argFrame keeps.
  std::vector<std::string> AllLocals() const;
  // The locals of a Newton OS 2 function that live in its argFrame alone.
  std::vector<std::string> ArgFrameLocals() const;

  // Every local declared as the source begins, in the order of its slots,
  // the loops' own by the names the compiler gives them: for a compiler
  // that numbered them otherwise than where they are first declared.
  void DeclareLocalsAtTop() { localsAtTop = true; }
  bool DeclaresLocalsAtTop() const { return localsAtTop; }

  // As source: func(...) and its body, at `out`'s indentation; `depth` is
  // how deep the function lies in the value being written.
  void Print(SourceText& out, LiteralWriter& values, int depth) const;
  // One line of disassembly: pc, name, B and what B refers to.
  std::string Disassembly(const Instruction& instruction) const;
  std::string VariableName(const Variable& variable) const;
  std::string LiteralSummary(uint32_t index) const;

 private:
  void PrintDisassembly(SourceText& out) const;

  const PrintedTree& tree;
  FunctionFrame function;
  std::vector<Instruction> code;
  Flow flow;
  Syntax syntax;
  Block body;
  std::vector<Structurer::Role> roles;
  std::vector<uint32_t> named;
  std::vector<std::string> notes;
  bool decoded = false, recovered = false, localsAtTop = false;
};
