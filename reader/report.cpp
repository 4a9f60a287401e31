#include "reader/report.h"

#include <string>

#include "reader/directory.h"
#include "reader/file_bytes.h"
#include "reader/header_text.h"
#include "reader/heap.h"
#include "reader/heap_tree.h"

namespace {

struct FlagName {
  uint32_t bit;
  const char* name;
};

const FlagName kPackageFlags[] = {
    {0x80000000, "auto-remove"},     {0x40000000, "copy-protect"},
    {0x20000000, "invisible"},       {0x10000000, "no compression"},
    {kRelocationFlag, "relocation"}, {0x02000000, "faster compression"},
    {0x01000000, "signature"},
};

const FlagName kPartFlags[] = {
    {0x10, "auto-load"}, {0x20, "auto-remove"}, {kCompressedFlag, "compressed"},
    {0x80, "notify"},    {0x100, "auto-copy"},
};

// The number, then the names of the flags it holds.
template <size_t N>
std::string FlagText(uint32_t flags, std::string named, const FlagName (&names)[N]) {
  for (const FlagName& flag : names) {
    if (flags & flag.bit) named += (named.empty() ? "" : ", ") + std::string(flag.name);
  }
  return named.empty() ? Hex32(flags) : Hex32(flags) + " (" + named + ")";
}

const char* const kPartKinds[] = {"protocol", "NewtonScript", "raw", "unknown kind"};

std::string InfoText(const FileBytes& file, const Directory& directory, const InfoRef& info,
                     bool utf16) {
  if (!info.inside) return "(outside the info data)";
  const uint8_t* bytes = file.At(directory.infoStart + info.offset);
  return utf16 ? QuotedUtf16(bytes, info.length) : QuotedLatin1(bytes, info.length);
}

void PrintHeader(const Directory& d, const FileBytes& file, FILE* out) {
  std::fprintf(
      out, "signature: %s\n",
      QuotedLatin1(reinterpret_cast<const uint8_t*>(d.signature.data()), d.signature.size())
          .c_str());
  // The rest of a file that is no package means nothing.
  if (!d.isPackage) return;
  std::fprintf(out, "type: %s\n", TypeText(d.type).c_str());
  std::fprintf(out, "flags: %s\n", FlagText(d.flags, "", kPackageFlags).c_str());
  std::fprintf(out, "version: %u\n", d.version);
  std::fprintf(out, "copyright: %s\n", InfoText(file, d, d.copyright, true).c_str());
  std::fprintf(out, "name: %s\n", InfoText(file, d, d.name, true).c_str());
  std::fprintf(out, "size: %u\n", d.size);
  std::fprintf(out, "creation date: %s (%s)\n", DateText(d.date).c_str(), Hex32(d.date).c_str());
  std::fprintf(out, "directory size: %u\n", d.directorySize);
  std::fprintf(out, "parts: %u\n", d.partCount);
  if (d.relocation) {
    std::fprintf(out, "relocation: size %u, page size %u, sets %u\n", d.relocation->size,
                 d.relocation->pageSize, d.relocation->sets);
  }
}

void PrintPart(const PartEntry& part, const Directory& d, const FileBytes& file, FILE* out) {
  std::fprintf(out, "\npart %u:\n", part.number);
  std::fprintf(out, "    offset: %u\n", part.offset);
  std::fprintf(out, "    size: %u\n", part.size);
  std::fprintf(out, "    type: %s\n", TypeText(part.type).c_str());
  std::fprintf(out, "    flags: %s\n",
               FlagText(part.flags, kPartKinds[part.flags & kPartKindMask], kPartFlags).c_str());
  std::fprintf(out, "    info: %s\n", InfoText(file, d, part.info, false).c_str());
  if ((part.flags & kPartKindMask) != kNewtonScriptKind || (part.flags & kCompressedFlag)) {
    std::fprintf(out, "    not decoded: a %s%s part\n",
                 part.flags & kCompressedFlag ? "compressed " : "",
                 kPartKinds[part.flags & kPartKindMask]);
  }
}

}  // namespace

// Real packages list at a few times their size; only crafted ones (a long
// name that many frames share, nesting hundreds deep) come near this.
uint64_t ListingLimit(const FileBytes& file) { return 64 * file.Size() + (1 << 20); }

void PrintReport(const Directory& directory, const FileBytes& file, const Heap& heap,
                 HeapTree& tree, FILE* out) {
  PrintHeader(directory, file, out);
  for (const PartEntry& part : directory.parts) PrintPart(part, directory, file, out);
  TreePrinter printer(tree, PrintStyle::kReport, out, ListingLimit(file));
  for (const Heap::Root& root : heap.Roots()) {
    std::fprintf(out, "\npart %u objects:\n", root.part);
    printer.Print(tree.Root(root.offset), 0);
  }
}

void PrintTrees(const Heap& heap, HeapTree& tree, PrintStyle style, FILE* out) {
  TreePrinter printer(tree, style, out, ListingLimit(heap.File()));
  for (const Heap::Root& root : heap.Roots()) printer.Print(tree.Root(root.offset), 0);
}
