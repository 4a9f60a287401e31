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

// A rate as an integer, a real or a 16.16 `fixed` binary; 0 where it is
// none of them or out of range.
uint32_t Rate(const PrintedTree& tree, const std::optional<PrintedValue>& value) {
  double rate = kDefaultSamplingRate;
  if (std::optional<int32_t> integer = Integer(value)) {
    rate = *integer;
  } else if (value && value->kind == PrintedValue::kBinary) {
    PrintedBinary number = tree.Binary(value->object);
    if (number.isSymbol) return 0;
    if (NamesEqualIgnoringCase(number.className, "real") && number.length == 8) {
      rate = LoadBigDouble(number.bytes);
    } else if (NamesEqualIgnoringCase(number.className, "fixed") && number.length == 4) {
      rate = LoadBig32(number.bytes) / 65536.0;
    } else {
      return 0;
    }
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
