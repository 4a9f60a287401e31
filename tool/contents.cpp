#include "tool/contents.h"

#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/utility.h"

namespace {

// NewtonScript bytecode, stored byte for byte and never interpreted.
const uint8_t kInstallScript[] = {0x7B, 0x18, 0x91, 0x19, 0x81, 0x1A, 0x29, 0xA4,
                                  0x7B, 0x7C, 0x7B, 0x1B, 0x3A, 0x00, 0x7C, 0x02};
const uint8_t kDevInstallScript[] = {0x22, 0x02};
const uint8_t kDevRemoveScript[] = {0x22, 0x02};

// The literals of installScript.
Ref* InstallScriptLiterals() {
  Ref* removeScript = NewArrayRef();
  removeScript->AppendElement(NilRef());
  removeScript->AppendElement(NewSymbolRef("removeScript"));
  Ref* literals = NewArrayRef();
  literals->AppendElement(NewSymbolRef("devRemoveScript"));
  literals->AppendElement(removeScript);
  literals->AppendElement(NewSymbolRef("EnsureInternal"));
  literals->AppendElement(NewSymbolRef("devInstallScript"));
  return literals;
}

}  // namespace

Ref* AddExportTable(Ref* rootFrame, const char* packageSymbol) {
  Ref* exportTable = NewArrayRef();
  rootFrame->SetSlot(NewSymbolRef("_ExportTable"), exportTable);
  Ref* entry = NewFrameRef();
  exportTable->AppendElement(entry);
  entry->SetSlot(NewSymbolRef("name"), NewSymbolRef(packageSymbol));
  entry->SetSlot(NewSymbolRef("major"), IntegerRef(1));
  entry->SetSlot(NewSymbolRef("minor"), IntegerRef(0));
  Ref* contents = NewFrameRef();
  Ref* objects = NewArrayRef();
  objects->AppendElement(contents);
  entry->SetSlot(NewSymbolRef("objects"), objects);
  return contents;
}

void AddScripts(Ref* rootFrame) {
  Ref* literals = InstallScriptLiterals();
  rootFrame->SetSlot(NewSymbolRef("installScript"),
                     NewCodeBlock(kInstallScript, sizeof kInstallScript, literals, 1));
  rootFrame->SetSlot(NewSymbolRef("devInstallScript"),
                     NewCodeBlock(kDevInstallScript, sizeof kDevInstallScript, NilRef(), 2));
  rootFrame->SetSlot(NewSymbolRef("devRemoveScript"),
                     NewCodeBlock(kDevRemoveScript, sizeof kDevRemoveScript, NilRef(), 1));
}
