#pragma once

#include <cstdint>
#include <string>

#include "objects/tree_printer.h"

class SourceText;

// How a function's source writes the values its code pushes: the report
// writes each as it is; the program that rebuilds a package names the
// objects it shares.
class LiteralWriter {
 public:
  virtual ~LiteralWriter() = default;
  // A push-constant's value.
  virtual void Immediate(uint32_t word, SourceText& out, int depth) = 0;
  // A literal; `closure` where the code binds a function to its own scope.
  virtual void Literal(const PrintedValue& value, SourceText& out, int depth, bool closure) = 0;
  // Whether the source is to compile back to the same function: every local
  // declared, and what the code does beyond its source's forms said.
  virtual bool IsExact() const { return false; }
  // Whether a literal is made anew where the source writes it (it is shared
  // with nothing), so that it can be written in place.
  virtual bool IsFresh(const PrintedValue& /*value*/) const { return true; }
  // The options a frame constructor of this map needs beyond its slots (as
  // "{map: map3}"), or none.
  virtual std::string MapOptions(const PrintedValue& /*map*/) const { return {}; }
};
