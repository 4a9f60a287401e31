#include "objects/loader.h"

#include "objects/data_files.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/utility.h"
#include "packaging/package.h"

namespace {

// The bytecode of every native function's bcFunc; one table for all of them.
const uint8_t kNativeFunctionBytecode[] = {0x22, 0x02};

Ref* NewDataFileBinary(Ref* classSymbol, const DataFiles::Loaded& file) {
  Ref* binary = NewBinaryRef(classSymbol, file.bytes, file.length);
  binary->target->SetDataFile(file.number);
  return binary;
}

}  // namespace

Ref* LoadBinaryFile(Ref* classSymbol, const char* path) {
  return NewDataFileBinary(classSymbol, CurrentPackage().GetDataFiles().Load(path));
}

Ref* NewNativeFunction(const char* path, int32_t numArgs) {
  DataFiles::Loaded code = CurrentPackage().GetDataFiles().Load(path);
  Ref* function = NewFrameRef();
  function->SetSlot(NewSymbolRef("class"), ImmediateRef(Ref::kNativeFunctionClass));
  function->SetSlot(NewSymbolRef("code"), NewDataFileBinary(NewSymbolRef("code"), code));
  function->SetSlot(NewSymbolRef("numArgs"), IntegerRef(numArgs));
  Ref* closure = NewFrameRef();
  for (const char* name : {"_nextArgFrame", "_parent", "_implementor", "_literals"}) {
    closure->SetSlot(NewSymbolRef(name), NewFrameRef());
  }
  function->SetSlot(NewSymbolRef("closure"), closure);
  function->SetSlot(NewSymbolRef("offset"), IntegerRef(0));
  function->SetSlot(
      NewSymbolRef("bcFunc"),
      NewCodeBlock(kNativeFunctionBytecode, sizeof kNativeFunctionBytecode, NilRef(), numArgs));
  return function;
}
