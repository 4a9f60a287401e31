#include "objects/utility.h"

#include "objects/ref.h"
#include "objects/symbol.h"

Ref* NilRef() { return ImmediateRef(Ref::kNil); }

Ref* NewArrayRef() { return TypedRef(Ref::kArrayKind); }

Ref* NewFrameRef() { return TypedRef(Ref::kFrameKind); }

Ref* NewBinaryRef(Ref* classSymbol, const uint8_t* data, int32_t size) {
  return TypedRef(Ref::kBinaryKind, classSymbol, data, size);
}

Ref* NewCodeBlock(const uint8_t* instructions, int32_t length, Ref* literals, int32_t numArgs) {
  Ref* block = NewFrameRef();
  block->SetSlot(NewSymbolRef("class"), ImmediateRef(Ref::kCodeBlockClass));
  block->SetSlot(NewSymbolRef("instructions"),
                 NewBinaryRef(NewSymbolRef("instructions"), instructions, length));
  block->SetSlot(NewSymbolRef("literals"), literals);
  block->SetSlot(NewSymbolRef("argFrame"), NilRef());
  block->SetSlot(NewSymbolRef("numArgs"), IntegerRef(numArgs));
  return block;
}
