#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/function_scope.h"
#include "compiler/objects.h"

namespace compiler {

// How a NewtonScript part is laid out, and how its frames and functions are
// made where the source says nothing of them.
struct PartRules {
  uint32_t alignment = 4;   // 4 or 8
  uint8_t padding = 0xBF;   // the bytes after an object, up to the next
  int32_t mapFlags = 0;     // of a frame's own map (4 is added for _proto)
  bool mergeMaps = false;   // equal maps (flags, supermap, names) are one
  FunctionOptions::Format format = FunctionOptions::kNos2;
  bool debug = false;       // functions carry DebuggerInfo
  int32_t functionMapFlags = 0;
  bool sharedFunctionMaps = true;  // the functions of a part share a map for each list of slots
  int32_t argFrameMapFlags = 2;
  bool mergeInstructions = false;  // equal instructions are one object
  bool mergeStrings = false;       // equal strings written in the source are one object
  bool foldSymbols = true;         // a symbol is one object for names equal but for case
  // Spellings of symbols the part holds that the source does not write
  // (`String` where strings made here are of class `string`).
  std::vector<std::string> spellings;
};

struct PartDefinition {
  uint32_t type = 0x666F726D;  // 'form'
  uint32_t flags = 0x81;
  std::string info;            // 8-bit text for the part's handler
  uint32_t reserved[2] = {0, 0};
  bool newtonScript = true;
  Value root;                  // its top-level value
  bool rootArray = false;      // the value is the part's root array itself
  std::string bytes;           // a part of another kind, as it is
  PartRules rules;
};

// A package's header and its parts, as the source gives them.
struct PackageDefinition {
  std::string signature = "package1";
  uint32_t type = 0x78787878;  // 'xxxx'
  uint32_t flags = 0;
  uint32_t version = 1;
  std::u16string copyright;
  bool hasCopyright = false;
  std::u16string name;
  uint32_t creationDate = 0;
  uint32_t modificationDate = 0;
  uint32_t reserved = 0;
  // Bytes of the info data that no entry names: before the name, between
  // the strings and the parts' infos, and after them.
  std::string nameGap, infoGap, infoTail;
  bool hasInfoTail = false;  // else the info data is padded to 4 bytes
  std::string relocation;  // the relocation area, as it is
  std::vector<PartDefinition> parts;
};

}  // namespace compiler
