#include "reader/json_report.h"

#include <algorithm>
#include <string>

#include "objects/text.h"
#include "reader/directory.h"
#include "reader/file_bytes.h"
#include "reader/header_text.h"
#include "reader/heap.h"
#include "reader/heap_tree.h"
#include "reader/json_values.h"
#include "reader/json_writer.h"
#include "reader/report.h"

namespace {

const char* const kPartKinds[] = {"protocol", "newtonscript", "raw", "unknown"};

void Member(JsonWriter& json, const char* key, int64_t value) {
  json.Key(key);
  json.Number(value);
}

void Member(JsonWriter& json, const char* key, const std::string& value) {
  json.Key(key);
  json.String(value);
}

void TypeMember(JsonWriter& json, uint32_t type) {
  json.Key("type");
  if (std::optional<std::string> characters = TypeCharacters(type)) {
    json.String(*characters);
  } else {
    json.Number(type);
  }
}

void InfoMember(JsonWriter& json, const char* key, const FileBytes& file,
                const Directory& directory, const InfoRef& info, bool utf16) {
  json.Key(key);
  if (!info.inside) return json.Null();
  const uint8_t* bytes = file.At(directory.infoStart + info.offset);
  json.String(utf16 ? Utf16ToUtf8(bytes, info.length)
                    : Latin1ToUtf8({reinterpret_cast<const char*>(bytes), info.length}));
}

void Header(JsonWriter& json, const Directory& d, const FileBytes& file) {
  Member(json, "signature", Latin1ToUtf8(d.signature));
  TypeMember(json, d.type);
  Member(json, "flags", d.flags);
  Member(json, "version", d.version);
  InfoMember(json, "copyright", file, d, d.copyright, true);
  InfoMember(json, "name", file, d, d.name, true);
  Member(json, "size", d.size);
  Member(json, "fileSize", static_cast<int64_t>(d.fileSize));
  std::string created = DateText(d.date);
  created[10] = 'T';
  Member(json, "created", created + "Z");
  Member(json, "directorySize", d.directorySize);
  if (d.relocation) {
    json.Key("relocation");
    json.BeginObject();
    Member(json, "size", d.relocation->size);
    Member(json, "pageSize", d.relocation->pageSize);
    Member(json, "sets", d.relocation->sets);
    json.EndObject();
  }
}

void Part(JsonWriter& json, const PartEntry& part, const Directory& d, const FileBytes& file,
          const Heap& heap, HeapTree& tree, JsonValues& values) {
  json.BeginObject();
  Member(json, "number", part.number);
  Member(json, "offset", part.offset);
  Member(json, "size", part.size);
  TypeMember(json, part.type);
  Member(json, "flags", part.flags);
  Member(json, "kind", kPartKinds[part.flags & kPartKindMask]);
  json.Key("compressed");
  json.Bool(part.flags & kCompressedFlag);
  InfoMember(json, "info", file, d, part.info, false);
  json.Key("root");
  const Heap::Root* root = nullptr;
  for (const Heap::Root& each : heap.Roots()) {
    if (each.part == part.number) root = &each;
  }
  if (root) {
    values.Value(tree.Root(root->offset), 0);
  } else {
    json.Null();
  }
  json.EndObject();
}

}  // namespace

void PrintJson(const char* package, const Directory& directory, const FileBytes& file,
               const Heap& heap, HeapTree& tree, const std::vector<Faults::Fault>& faults,
               uint64_t longest, bool functions, FILE* out) {
  JsonWriter json(out);
  WriteJson(package, directory, file, heap, tree, faults, longest, functions, json);
}

void WriteJson(const char* package, const Directory& directory, const FileBytes& file,
               const Heap& heap, HeapTree& tree, const std::vector<Faults::Fault>& faults,
               uint64_t longest, bool functions, JsonWriter& json) {
  JsonValues values(tree, json, std::min(longest, ListingLimit(file)), functions);
  json.BeginObject();
  Member(json, "file", package);
  Header(json, directory, file);
  json.Key("parts");
  json.BeginArray();
  for (const PartEntry& part : directory.parts) Part(json, part, directory, file, heap, tree, values);
  json.EndArray();
  if (values.IsCut()) {
    json.Key("cut");
    json.Bool(true);
  }
  json.Key("faults");
  json.BeginArray();
  for (const Faults::Fault& fault : faults) {
    json.BeginObject();
    Member(json, "offset", static_cast<int64_t>(fault.offset));
    Member(json, "message", fault.message);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  json.EndLine();
}

void PrintJsonError(const char* package, const char* error, FILE* out) {
  JsonWriter json(out);
  json.BeginObject();
  Member(json, "file", package);
  Member(json, "error", error);
  json.EndObject();
  json.EndLine();
}
