#include "tool/contents_script.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "objects/loader.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/unique_file.h"
#include "tool/script_reader.h"

namespace {

// The contents frame's map holds one element more than the frame.
const int32_t kMaxContentsSlots = kMaxElements - 1;

// The rest of a binary statement; sets `value` or returns 1.
int ReadBinary(ScriptReader& reader, Ref*& value) {
  std::string className, fileName;
  if (!reader.NextToken(className))
    return reader.Missing("Missing the class of the binary data!\n");
  if (!reader.NextToken(fileName)) return reader.Missing("Missing the name of the binary file!\n");
  value = LoadBinaryFile(NewSymbolRef(className.c_str()), fileName.c_str());
  return 0;
}

// The rest of an asmCode statement; sets `value` or returns 1.
int ReadNativeFunction(ScriptReader& reader, Ref*& value) {
  int32_t numArgs = 0;
  switch (reader.ReadNumber(numArgs)) {
    case ScriptReader::Number::kMissing:
      return reader.Missing("Missing the number of parameters!\n");
    case ScriptReader::Number::kOutOfRange:
      return Refuse("The number of parameters is out of range!\n");
    case ScriptReader::Number::kRead:
      break;
  }
  std::string fileName;
  if (!reader.NextToken(fileName)) {
    return reader.Missing("Missing the name of the binary file containing asm code!\n");
  }
  value = NewNativeFunction(fileName.c_str(), numArgs);
  return 0;
}

// One statement after its makeSlot keyword. All its tokens are read before
// the file it names is opened.
int ReadStatement(ScriptReader& reader, Ref* frame) {
  std::string slotName, type;
  if (!reader.NextToken(slotName)) return reader.Missing("Missing the slot name!\n");
  if (!reader.NextToken(type)) return reader.Missing("Missing the type of the slot!\n");
  Ref* value = nullptr;
  int status;
  if (NamesEqualIgnoringCase(std::string_view(type.c_str()), "binary")) {
    status = ReadBinary(reader, value);
  } else if (NamesEqualIgnoringCase(std::string_view(type.c_str()), "asmCode")) {
    status = ReadNativeFunction(reader, value);
  } else {
    return Refuse("not an expected slot type!\n");
  }
  if (status != 0) return status;
  Ref* name = NewSymbolRef(slotName.c_str());
  int32_t slot = frame->FindSlot(name);
  Ref* replaced = slot < 0 ? nullptr : frame->target->GetSlotValue(slot);
  frame->SetSlot(name, value);
  // A replaced value is referred to by nothing, nor is the name of a slot
  // that was already there: their memory and data files can go now.
  if (replaced) {
    replaced->Discard();
    name->Discard();
  }
  if (frame->target->NumberOfSlots() > kMaxContentsSlots) {
    return Refuse("Too many slots in the contents frame for the package format!\n");
  }
  return 0;
}

}  // namespace

int ReadContentsScript(Ref* frame, const char* path) {
  UniqueFile file(std::fopen(path, "rb"));
  if (!file) {
    std::printf("Couldn't load [%s]!\n", path);
    return 1;
  }
  ScriptReader reader(file.get(), path);
  std::string word;
  while (reader.NextToken(word)) {
    if (word[0] == '#') {
      reader.SkipLine();
    } else if (NamesEqualIgnoringCase(std::string_view(word.c_str()), "makeSlot")) {
      if (int status = ReadStatement(reader, frame); status != 0) return status;
    }
  }
  return reader.Ended();
}
