#include "media/sound.h"

#include <cmath>
#include <string_view>

#include "objects/symbol.h"
#include "packaging/big_endian.h"

namespace {
const uint32_t kHighestRate = 1000000;

std::optional<PrintedValue> Slot(const PrintedTree& tree, const void* frame, std::string_view name) {
  for (int32_t i = 0; i < tree.NumberOfSlots(frame); ++i) {
    if (NamesEqualIgnoringCase(tree.SlotName(frame, i), name)) return tree.SlotValue(frame, i);
  }
  return std::nullopt;
}

std::optional<int32_t> Integer(const std::optional<PrintedValue>& value) {
  if (!value || value->kind != PrintedValue::kInteger) return std::nullopt;
  return static_cast<int32_t>(value->word) >> 2;
}

// A rate as an integer or a real; 0 where it is neither or out of range.
uint32_t Rate(const PrintedTree& tree, const std::optional<PrintedValue>& value) {
  double rate = kDefaultSamplingRate;
  if (std::optional<int32_t> integer = Integer(value)) {
    rate = *integer;
  } else if (value && value->kind == PrintedValue::kBinary) {
    PrintedBinary real = tree.Binary(value->object);
    if (real.isSymbol || !NamesEqualIgnoringCase(real.className, "real") || real.length != 8) return 0;
    rate = LoadBigDouble(real.bytes);
  } else if (value) {
    return 0;
  }
  return rate >= 1 && rate <= kHighestRate ? static_cast<uint32_t>(std::lround(rate)) : 0;
}
}  // namespace

std::optional<Sound> SoundOf(const PrintedTree& tree, const void* frame, const PrintedBinary& samples) {
  if (!frame || samples.isSymbol || !NamesEqualIgnoringCase(samples.className, "samples")) {
    return std::nullopt;
  }
  Sound sound;
  sound.rate = Rate(tree, Slot(tree, frame, "samplingRate"));
  std::optional<int32_t> dataType = Integer(Slot(tree, frame, "dataType"));
  if (dataType == 2) sound.bits = 16;
  sound.compressed = Integer(Slot(tree, frame, "compressionType")).value_or(0) != 0;
  if (sound.rate == 0 || (dataType && *dataType != 1 && *dataType != 2)) return std::nullopt;
  sound.frames = samples.length / (sound.bits / 8);
  return sound;
}
