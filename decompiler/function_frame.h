#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "objects/tree_printer.h"

// What a compiled NewtonScript function holds, read from its frame: the
// bytecode, the literals, and the names of its variables where the frame
// keeps them (the argFrame of a Newton OS 1 function, the DebuggerInfo of a
// Newton OS 2 one).
struct FunctionFrame {
  enum Format { kNos1, kNos2 };
  Format format = kNos2;
  const uint8_t* code = nullptr;
  size_t codeLength = 0;
  std::vector<PrintedValue> literals;
  // Of each literal, its name where it is a symbol.
  std::vector<std::optional<std::string_view>> symbols;
  std::optional<std::string_view> SymbolAt(uint32_t literal) const {
    return literal < symbols.size() ? symbols[literal] : std::nullopt;
  }
  int arguments = 0;
  int locals = 0;
  // By variable slot (0.. for the frame's three special slots, then the
  // arguments, then the locals): the name, or empty where none is known.
  std::vector<std::string> names;
  // The variables of a Newton OS 2 argFrame, which the code reaches by name.
  std::vector<std::string> captured;

  // The name of variable slot `slot`: its own, or arg1, local1...
  std::string VariableName(uint32_t slot) const;
};

// Whether `frame` is a NewtonScript function (class 'CodeBlock or 0x32) or a
// native one (0x132 or 0x232).
bool IsFunctionFrame(const PrintedTree& tree, const PrintedValue& frame);
bool IsNativeFunctionFrame(const PrintedTree& tree, const PrintedValue& frame);

// Reads a function frame; false, with the reason, where a slot the code needs
// is missing or of the wrong kind.
bool ReadFunctionFrame(const PrintedTree& tree, const PrintedValue& frame, FunctionFrame& out,
                       std::string& why);

// The name of a symbol value, if it is one.
std::optional<std::string_view> SymbolOf(const PrintedTree& tree, const PrintedValue& value);
// The value a push-constant operand stands for.
PrintedValue ImmediateValue(uint32_t word);
