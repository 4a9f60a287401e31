#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "objects/tree_printer.h"
#include "reader/json_writer.h"

class Bitmap;
class Decompiler;
class HeapTree;
class ValueSource;

// The values of an object tree in JSON, each encoded by what it holds. The
// walk is bounded as the printer's is: arrays and frames reached again or
// nested too deep are named by their offsets, and once the output passes
// `limit` bytes every further value is null and no more are walked (IsCut()
// then says so).
class JsonValues {
 public:
  // Without `functions`, function frames are written without their
  // "function" member, for a caller that asks for each when it needs it.
  JsonValues(HeapTree& tree, JsonWriter& json, uint64_t limit, bool functions = true);
  ~JsonValues();
  // `frame` is the frame whose slot the value is, if it is one.
  void Value(const PrintedValue& value, int depth, const void* frame = nullptr);
  bool IsCut() const { return cut; }

 private:
  void Immediate(uint32_t word);
  bool NamedElsewhere(const PrintedValue& value, int depth);
  void Array(const PrintedValue& array, int depth);
  void ArrayClass(const PrintedValue& arrayClass, int depth);
  void Frame(const PrintedValue& frame, int depth);
  void Binary(const PrintedValue& binary, const void* frame);
  void BitmapRows(const Bitmap& bitmap);
  void Media(const PrintedBinary& binary, const void* frame);
  void OffsetMember(int64_t offset);
  Decompiler* BeginFunction(const PrintedValue& frame, std::string& source);

  HeapTree& tree;
  JsonWriter& json;
  // One for each depth of functions inside functions' literals, reading
  // the functions of its depth in turn.
  std::vector<std::unique_ptr<Decompiler>> decompilers;
  size_t nesting = 0;
  // One for every function's source, so that what they share is written once.
  std::unique_ptr<ValueSource> values;
  uint64_t limit;
  bool functions;
  bool cut = false;
};

// A NewtonScript function's format, names, instructions, source and notes as
// one JSON object; with `disassembly`, also each instruction as a line of
// text with what its operand refers to.
void FunctionJson(HeapTree& tree, JsonWriter& json, const PrintedValue& frame, bool disassembly);
// The same with a decompiler that has read the function and its source, or
// none where that is written inside the source of the function at
// `sourceIn`.
void FunctionJson(JsonWriter& json, const Decompiler& function, const std::string* source, int64_t sourceIn,
                  bool disassembly);
