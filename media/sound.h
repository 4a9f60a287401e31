#pragma once

#include <cstdint>
#include <optional>

#include "objects/tree_printer.h"

// A sound frame's samples as its slots describe them: `samplingRate` (an
// integer or a real, in Hz), `dataType` (1: 8-bit samples, 2: 16-bit) and
// `compressionType` (0 or absent: none).
struct Sound {
  uint32_t rate = 0;
  int bits = 8;
  uint64_t frames = 0;
  bool compressed = false;

  double Seconds() const { return rate ? static_cast<double>(frames) / rate : 0; }
};

// The Newton's own rate, for a frame that names none.
constexpr uint32_t kDefaultSamplingRate = 22026;

// The sound of a binary of class `samples` in `frame`, its sound frame; none
// for any other binary, or where the frame's slots make no sense as a sound.
std::optional<Sound> SoundOf(const PrintedTree& tree, const void* frame, const PrintedBinary& samples);
