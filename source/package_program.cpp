#include "source/package_program.h"

#include <map>
#include <memory>
#include <set>

#include "compiler/compile.h"
#include "decompiler/source_text.h"
#include "objects/errors.h"
#include "objects/ref.h"
#include "objects/text.h"
#include "reader/directory.h"
#include "reader/faults.h"
#include "reader/file_bytes.h"
#include "reader/heap.h"
#include "reader/header_text.h"
#include "reader/heap_tree.h"
#include "reader/laid_out.h"
#include "source/part_plan.h"
#include "source/rebuild_check.h"
#include "source/written_values.h"

namespace {

const int kMostRounds = 4;
// Compilations that refuse a function's source, each then written as its
// frame; a bound, so that the work stays in proportion to the package.
const int kMostRefusals = 32;

std::string Hex(uint32_t value) { return Format("0x%08X", value); }

// 8-bit text as a string literal, a character for each byte.
std::string Latin1Literal(const uint8_t* bytes, size_t length) {
  std::string units;
  for (size_t k = 0; k < length; ++k) units += {'\0', static_cast<char>(bytes[k])};
  units.append(2, '\0');
  return StringLiteral(reinterpret_cast<const uint8_t*>(units.data()), units.size());
}

// Four characters where they are printable, else the number.
std::string Code(uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                      static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  for (uint8_t byte : bytes) {
    if (byte < 0x20 || byte > 0x7E || byte == '"' || byte == '\\') return Hex(value);
  }
  return Latin1Literal(bytes, 4);
}

std::string Bytes(const uint8_t* bytes, size_t length) {
  return Concat({"MakeBinaryFromHex(\"", HexText(bytes, length), "\", nil)"});
}

class Writer {
 public:
  Writer(const Directory& directory, const FileBytes& file, const Heap& heap, HeapTree& tree)
      : directory(directory), file(file), heap(heap), tree(tree) {}
  std::string Program(const RebuildLessons& learnt, std::set<int64_t>& sources);
  // The innermost function written as source whose text holds the byte, or -1.
  int64_t FunctionAt(size_t offset) const;

 private:
  void Header(SourceText& out);
  void Part(const PartEntry& part, SourceText& out, const RebuildLessons& learnt, std::set<int64_t>& sources);
  std::string Settings(const PartEntry& part, const PartPlan::Rules* rules, bool rootArray) const;
  std::string Text(const InfoRef& ref, bool utf16) const;

  const Directory& directory;
  const FileBytes& file;
  const Heap& heap;
  HeapTree& tree;
  std::unordered_set<std::string> names;
  std::vector<ExactWriter::FunctionSpan> spans;
};

std::string Writer::Text(const InfoRef& ref, bool utf16) const {
  const uint8_t* bytes = file.At(directory.infoStart + ref.offset);
  return utf16 ? StringLiteral(bytes, ref.length) : Latin1Literal(bytes, ref.length);
}

void Writer::Header(SourceText& out) {
  std::vector<std::string> fields = {"signature: " + Latin1Literal(reinterpret_cast<const uint8_t*>(directory.signature.data()),
                                                                  directory.signature.size())};
  if (directory.type != 0x78787878) fields.push_back("type: " + Code(directory.type));
  if (directory.flags) fields.push_back("flags: " + Hex(directory.flags));
  if (directory.version != 1) fields.push_back("version: " + std::to_string(directory.version));
  if (directory.copyright.length && directory.copyright.inside) fields.push_back("copyright: " + Text(directory.copyright, true));
  if (directory.name.inside) fields.push_back("name: " + Text(directory.name, true));
  fields.push_back("creationDate: " + Hex(directory.date) + " /* " + DateText(directory.date) + " */");
  if (uint32_t modified = file.Word(0x24)) fields.push_back("modificationDate: " + Hex(modified));
  if (uint32_t reserved = file.Word(0x28)) fields.push_back("reserved: " + Hex(reserved));
  // The info data the strings and the parts' infos leave.
  // Runs that lie outside the info data (a damaged directory) are left out.
  const uint8_t* info = file.At(directory.infoStart);
  uint64_t infoEnd = std::min<uint64_t>(directory.directorySize, file.Size());
  size_t infoSize = infoEnd > directory.infoStart ? infoEnd - directory.infoStart : 0;
  auto end = [](const InfoRef& ref) { return ref.inside ? size_t{ref.offset} + ref.length : 0; };
  size_t at = directory.copyright.length ? end(directory.copyright) : 0;
  if (directory.name.inside && directory.name.offset > at) {
    fields.push_back("nameGap: " + Bytes(info + at, directory.name.offset - at));
  }
  at = std::max(at, end(directory.name));
  size_t firstInfo = SIZE_MAX, lastInfo = at;
  for (const PartEntry& part : directory.parts) {
    if (!part.info.length || !part.info.inside) continue;
    firstInfo = std::min<size_t>(firstInfo, part.info.offset);
    lastInfo = std::max(lastInfo, end(part.info));
  }
  if (firstInfo != SIZE_MAX && firstInfo > at) fields.push_back("infoGap: " + Bytes(info + at, firstInfo - at));
  if (infoSize >= lastInfo) fields.push_back("infoTail: " + Bytes(info + lastInfo, infoSize - lastInfo));
  if (directory.relocation) {
    fields.push_back("relocation: " + Bytes(file.At(directory.directorySize), directory.relocation->size));
  }
  out.Put("Package({");
  out.Indent();
  for (size_t k = 0; k < fields.size(); ++k) {
    out.NewLine();
    out.Put(fields[k] + (k + 1 < fields.size() ? "," : ""));
  }
  out.Outdent();
  out.NewLine();
  out.Put("});");
  out.NewLine();
}

std::string Writer::Settings(const PartEntry& part, const PartPlan::Rules* rules, bool rootArray) const {
  std::vector<std::string> fields = {"type: " + Code(part.type), "flags: " + Hex(part.flags)};
  if (part.info.length && part.info.inside) fields.push_back("info: " + Text(part.info, false));
  if (uint32_t unused = file.Word(part.at + 0x10)) fields.push_back("unused1: " + Hex(unused));
  if (uint32_t unused = file.Word(part.at + 0x1C)) fields.push_back("unused2: " + Hex(unused));
  if (!rules) {
    if ((part.flags & kPartKindMask) == kNewtonScriptKind && !(part.flags & kCompressedFlag)) fields.push_back("asBytes: true");
  } else {
    if (rules->alignment != 4) fields.push_back("alignment: " + std::to_string(rules->alignment));
    if (rules->padding != 0xBF) fields.push_back(Format("padding: 0x%02X", rules->padding));
    if (rules->mapFlags) fields.push_back("mapFlags: " + std::to_string(rules->mapFlags));
    if (rules->mergeMaps) fields.push_back("mergeMaps: true");
    if (rules->nos1) fields.push_back("functions: 'CodeBlock");
    if (rules->debug) fields.push_back("debugInfo: true");
    if (rules->functionMapFlags) fields.push_back("functionMapFlags: " + std::to_string(rules->functionMapFlags));
    if (!rules->sharedFunctionMaps) fields.push_back("sharedFunctionMaps: nil");
    if (rules->argFrameMapFlags != 2) fields.push_back("argFrameMapFlags: " + std::to_string(rules->argFrameMapFlags));
    if (rules->mergeInstructions) fields.push_back("mergeInstructions: true");
    if (rules->mergeStrings) fields.push_back("mergeStrings: true");
    if (!rules->foldSymbols) fields.push_back("foldSymbols: nil");
    if (rootArray) fields.push_back("rootArray: true");
    if (!rules->spellings.empty()) {
      std::string list;
      for (const std::string& spelling : rules->spellings) list += (list.empty() ? "" : ", ") + Identifier(spelling);
      fields.push_back("spellings: '[" + list + "]");
    }
  }
  std::string text = "{";
  for (size_t k = 0; k < fields.size(); ++k) text += (k ? ", " : "") + fields[k];
  return text + "}";
}

void Writer::Part(const PartEntry& part, SourceText& out, const RebuildLessons& learnt, std::set<int64_t>& sources) {
  out.NewLine();
  out.Put("// part " + std::to_string(part.number));
  out.NewLine();
  const Heap::Root* root = nullptr;
  for (const Heap::Root& each : heap.Roots()) {
    if (each.part == part.number) root = &each;
  }
  if (!root) {
    out.Put("Part(" + Settings(part, nullptr, false) + ", ");
    out.Put(part.inFile ? Bytes(file.At(part.start), part.size) : "MakeBinaryFromHex(\"\", nil)");
    out.Put(");");
    out.NewLine();
    return;
  }
  // The value is the root array's one element, but where the root array is
  // of another shape or the value reaches it: then it is the array itself.
  PrintedValue rootArray = tree.Root(root->offset);
  PrintedValue cls = tree.ArrayClass(rootArray.object);
  bool whole = tree.NumberOfElements(rootArray.object) != 1 || cls.kind != PrintedValue::kImmediate ||
               cls.word != Ref::kNil;
  std::unordered_set<std::string> taken = names;
  auto planned = std::make_unique<PartPlan>(tree, whole ? rootArray : tree.Element(rootArray.object, 0),
                                            root->offset, learnt, names);
  if (!whole && planned->Reaches(rootArray.object)) {
    whole = true;
    names = taken;
    planned = std::make_unique<PartPlan>(tree, rootArray, root->offset, learnt, names);
  }
  PartPlan& plan = *planned;
  PrintedValue top = whole ? rootArray : tree.Element(rootArray.object, 0);
  for (const auto& [frame, function] : plan.Sources()) sources.insert(static_cast<int64_t>(tree.Offset(frame)));
  ExactWriter values(tree, plan);
  for (const auto& [name, word] : plan.MagicConstants()) {
    out.Put("constant " + name + " := ");
    values.Immediate(word, out, 0);
    out.Put(";");
    out.NewLine();
  }
  for (const auto& [name, map] : plan.NamedMaps()) {
    out.Put("constant " + name + " := ");
    values.Map(map, out);
    out.Put(";");
    out.NewLine();
  }
  for (const PrintedValue& constant : plan.Constants()) {
    out.Put("constant " + plan.ConstantName(constant.object) + " := ");
    values.Definition(constant, out);
    out.Put(";");
    out.NewLine();
  }
  out.Put("Part(" + Settings(part, &plan.GetRules(), whole) + ",");
  out.Indent();
  out.NewLine();
  values.Value(top, out, 0);
  out.Outdent();
  out.Put(");");
  out.NewLine();
  spans.insert(spans.end(), values.Spans().begin(), values.Spans().end());
}

int64_t Writer::FunctionAt(size_t offset) const {
  const ExactWriter::FunctionSpan* best = nullptr;
  for (const ExactWriter::FunctionSpan& span : spans) {
    if (span.begin <= offset && offset < span.end && (!best || span.end - span.begin < best->end - best->begin)) {
      best = &span;
    }
  }
  return best ? best->frame : -1;
}

std::string Writer::Program(const RebuildLessons& learnt, std::set<int64_t>& sources) {
  SourceText out;
  names.clear();
  spans.clear();
  out.Put("// NewtonScript from which pkgcompile builds the package again.");
  out.NewLine();
  Header(out);
  for (const PartEntry& part : directory.parts) Part(part, out, learnt, sources);
  return std::move(out).Text();
}

}  // namespace

namespace {
// The byte at a line and column (from 1) of the text.
size_t OffsetOf(const std::string& text, int line, int column) {
  size_t at = 0;
  for (int k = 1; k < line && at < text.size(); ++k) {
    size_t end = text.find('\n', at);
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return at + static_cast<size_t>(std::max(column - 1, 0));
}
}  // namespace

std::string PackageProgram(const Directory& directory, const FileBytes& file, const Heap& heap, HeapTree& tree) {
  Writer writer(directory, file, heap, tree);
  RebuildLessons learnt;
  int rounds = kMostRounds, refusals = 0;
  for (int round = 0; round < rounds; ++round) {
    std::set<int64_t> sources;
    std::string text = writer.Program(learnt, sources);
    Compiled compiled = CompileSource(text);
    if (!compiled.error.empty()) {
      // A function whose source the compiler refuses is written as its frame.
      int64_t function = writer.FunctionAt(OffsetOf(text, compiled.line, compiled.column));
      if (function < 0 || ++refusals > kMostRefusals || !learnt.asFrames.insert(function).second) return text;
      ++rounds;
      continue;
    }
    Faults none("", nullptr);
    LaidOut rebuilt(std::vector<uint8_t>(compiled.package.begin(), compiled.package.end()), none);
    if (!learnt.Learn(CompareRebuilt(heap, rebuilt.heap, sources))) return text;
  }
  // Out of rounds: what the last one learnt is still worth writing.
  std::set<int64_t> sources;
  return writer.Program(learnt, sources);
}
