#include "unpack/unpacker.h"

#include <algorithm>

#include "decompiler/function_frame.h"
#include "media/picture.h"
#include "media/png.h"
#include "media/sound.h"
#include "media/wav.h"
#include "objects/errors.h"
#include "objects/symbol.h"
#include "objects/text.h"
#include "reader/bitmap.h"
#include "reader/heap.h"
#include "reader/heap_tree.h"
#include "unpack/bitmap_png.h"

namespace {
// A path written in full up to this length; deeper ones are cut, as a
// crafted file could make every path as long as the file.
const size_t kLongestPath = 4096;

std::string Step(std::string_view name) {
  std::string step = ".";
  return step.append(Latin1ToUtf8(name));
}
}  // namespace

std::vector<UnpackedFile> Unpacker::Files() {
  std::vector<Pending> stack;
  std::vector<uint32_t> elements;  // how many roots each part has had
  for (const Heap::Root& root : heap.Roots()) {
    PrintedValue array = tree.Root(root.offset);
    std::string part = root.part == 0 ? "" : Format("part%u", root.part);
    // Each root's elements, pushed last first so that they come out in order.
    for (int32_t i = tree.NumberOfElements(array.object); i-- > 0;) {
      std::string path = part + (root.part == 0 && i == 0 ? "" : Format("[%d]", i));
      stack.push_back({tree.Element(array.object, i), nullptr, path});
    }
    while (!stack.empty()) {
      Pending next = std::move(stack.back());
      stack.pop_back();
      Visit(next, stack);
    }
  }
  return std::move(files);
}

void Unpacker::Visit(const Pending& pending, std::vector<Pending>& stack) {
  const PrintedValue& value = pending.value;
  bool object = value.kind == PrintedValue::kArray || value.kind == PrintedValue::kFrame ||
                value.kind == PrintedValue::kBinary;
  if (!object || !seen.insert(value.offset).second) return;
  if (value.kind == PrintedValue::kBinary) return Binary(pending);
  if (value.kind == PrintedValue::kFrame) Icon(value, pending.path);
  Children(value, pending.path, stack);
}

void Unpacker::Children(const PrintedValue& value, const std::string& path,
                        std::vector<Pending>& stack) {
  std::string base = path.size() > kLongestPath ? path.substr(0, kLongestPath) + "..." : path;
  if (value.kind == PrintedValue::kArray) {
    for (int32_t i = tree.NumberOfElements(value.object); i-- > 0;) {
      stack.push_back({tree.Element(value.object, i), nullptr, base + Format("[%d]", i)});
    }
    return;
  }
  bool function = IsFunctionFrame(tree, value);
  for (int32_t i = tree.NumberOfSlots(value.object); i-- > 0;) {
    std::string_view name = tree.SlotName(value.object, i);
    // A function's instructions are written as its source.
    if (function && NamesEqualIgnoringCase(name, "instructions")) continue;
    std::string step = Step(name);
    stack.push_back({tree.SlotValue(value.object, i), value.object,
                     base.empty() ? step.substr(1) : base + step});
  }
}

UnpackedFile& Unpacker::Add(const std::string& path, std::string_view className, int64_t offset,
                            const char* format, const std::string& name) {
  UnpackedFile& file = files.emplace_back();
  file.name = names.Next(!name.empty() ? name : path.empty() ? "root" : path, format);
  file.path = path;
  file.className = Latin1ToUtf8(className);
  file.offset = offset;
  file.format = format;
  return file;
}

void Unpacker::Binary(const Pending& pending) {
  PrintedBinary binary = tree.Binary(pending.value.object);
  std::string_view className = binary.className;
  if (binary.isSymbol || NamesEqualIgnoringCase(className, "string") ||
      (NamesEqualIgnoringCase(className, "real") && binary.length == 8)) {
    return;
  }
  int64_t offset = pending.value.offset;
  const std::string& path = pending.path;
  if (std::optional<Bitmap> bitmap = tree.BitmapOf(pending.value.object, pending.frame)) {
    Add(path, className, offset, "png").made = EncodePng(BitmapImage(*bitmap));
    return;
  }
  if (std::optional<Sound> sound = SoundOf(tree, pending.frame, binary); sound && !sound->compressed) {
    Add(path, className, offset, "wav").made = EncodeWav(sound->rate, sound->bits, binary.bytes, binary.length);
    return;
  }
  if (NamesEqualIgnoringCase(className, "picture")) {
    QdPicture picture = DecodePicture(binary.bytes, binary.length);
    UnpackedFile& svg = Add(path, className, offset, "svg");
    svg.made = std::move(picture.svg);
    svg.note = picture.stop;
    if (picture.decoded) return;
  }
  bool font = NamesEqualIgnoringCase(className, "sfnt");
  bool picture = NamesEqualIgnoringCase(className, "picture");
  UnpackedFile& file = Add(path, className, offset, font ? "ttf" : picture ? "pict" : "bin");
  file.raw = binary.bytes;
  file.rawLength = binary.length;
  if (picture) file.note = files[files.size() - 2].note;
  if (SoundOf(tree, pending.frame, binary)) file.note = "a compressed sound, kept as it is";
}

// An icon's bits drawn over its mask, where the mask covers every ink pixel.
void Unpacker::Icon(const PrintedValue& frame, const std::string& path) {
  std::optional<PrintedValue> bits = tree.FindSlot(frame.object, "bits");
  std::optional<PrintedValue> mask = tree.FindSlot(frame.object, "mask");
  if (!bits || !mask || bits->kind != PrintedValue::kBinary || mask->kind != PrintedValue::kBinary) return;
  std::optional<Bitmap> ink = tree.BitmapOf(bits->object, frame.object);
  std::optional<Bitmap> cover = tree.BitmapOf(mask->object, frame.object);
  if (!ink || !cover || !MaskCovers(*ink, *cover)) return;
  Add(path, "bits", bits->offset, "png", path.empty() ? "icon" : path + ".icon").made =
      EncodePng(MaskedImage(*ink, *cover));
}
