#include "unpack/unpacker.h"

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
// The most of a path that is written: a crafted file could make every path
// as long as the file. A longer one keeps its end, the part that names the
// object.
const size_t kLongestPath = 4096;
}  // namespace

std::vector<UnpackedFile> Unpacker::Files() {
  std::vector<Pending> stack;
  for (const Heap::Root& root : heap.Roots()) {
    PrintedValue array = tree.Root(root.offset);
    uint32_t part = root.part == 0 ? kNoStep : Step(kNoStep, Format("part%u", root.part));
    // Each root's elements, pushed last first so that they come out in order.
    for (int32_t i = tree.NumberOfElements(array.object); i-- > 0;) {
      uint32_t path = root.part == 0 && i == 0 ? kNoStep : Step(part, Format("[%d]", i));
      stack.push_back({tree.Element(array.object, i), nullptr, path});
    }
    while (!stack.empty()) {
      Pending next = stack.back();
      stack.pop_back();
      Visit(next, stack);
    }
  }
  return std::move(files);
}

uint32_t Unpacker::Step(uint32_t parent, std::string text) {
  steps.push_back({parent, std::move(text)});
  return static_cast<uint32_t>(steps.size() - 1);
}

std::string Unpacker::Path(uint32_t step) const {
  std::vector<const std::string*> parts;
  size_t length = 0;
  for (; step != kNoStep && length <= kLongestPath; step = steps[step].parent) {
    parts.push_back(&steps[step].text);
    length += steps[step].text.size();
  }
  std::string path;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) path += **part;
  if (step != kNoStep) return std::string("...") + path;
  // The first slot name of a path has no dot before it.
  return path.starts_with(".") ? path.substr(1) : path;
}

void Unpacker::Visit(const Pending& pending, std::vector<Pending>& stack) {
  const PrintedValue& value = pending.value;
  bool object = value.kind == PrintedValue::kArray || value.kind == PrintedValue::kFrame ||
                value.kind == PrintedValue::kBinary;
  if (!object || !seen.insert(value.offset).second) return;
  if (value.kind == PrintedValue::kBinary) return Binary(pending);
  if (value.kind == PrintedValue::kFrame) Icon(value, Path(pending.path));
  Children(value, pending.path, stack);
}

void Unpacker::Children(const PrintedValue& value, uint32_t path, std::vector<Pending>& stack) {
  if (value.kind == PrintedValue::kArray) {
    for (int32_t i = tree.NumberOfElements(value.object); i-- > 0;) {
      stack.push_back({tree.Element(value.object, i), nullptr, Step(path, Format("[%d]", i))});
    }
    return;
  }
  bool function = IsFunctionFrame(tree, value);
  for (int32_t i = tree.NumberOfSlots(value.object); i-- > 0;) {
    std::string_view name = tree.SlotName(value.object, i);
    // A function's instructions are written as its source.
    if (function && NamesEqualIgnoringCase(name, "instructions")) continue;
    std::string step = ".";
    stack.push_back({tree.SlotValue(value.object, i), value.object, Step(path, step.append(Latin1ToUtf8(name)))});
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
  if (binary.isSymbol || IsStringClass(className) ||
      (NamesEqualIgnoringCase(className, "real") && binary.length == 8)) {
    return;
  }
  int64_t offset = pending.value.offset;
  std::string path = Path(pending.path);
  if (std::optional<Bitmap> bitmap = tree.BitmapOf(pending.value.object, pending.frame)) {
    Add(path, className, offset, "png").made = EncodePng(BitmapImage(*bitmap));
    return;
  }
  std::optional<Sound> sound = SoundOf(tree, pending.frame, binary);
  if (sound && !sound->compressed) {
    Add(path, className, offset, "wav").made = EncodeWav(sound->rate, sound->bits, binary.bytes, binary.length);
    return;
  }
  const char* format = NamesEqualIgnoringCase(className, "sfnt") ? "ttf" : "bin";
  std::string note = sound ? "a compressed sound, kept as it is" : "";
  if (NamesEqualIgnoringCase(className, "picture")) {
    QdPicture picture = DecodePicture(binary.bytes, binary.length);
    UnpackedFile& svg = Add(path, className, offset, "svg");
    svg.made = std::move(picture.svg);
    svg.note = picture.stop;
    if (picture.decoded) return;
    // The bytes too, for a reader that draws what this one does not.
    format = "pict";
    note = picture.stop;
  }
  UnpackedFile& file = Add(path, className, offset, format);
  file.raw = binary.bytes;
  file.rawLength = binary.length;
  file.note = note;
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
