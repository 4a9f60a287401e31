#pragma once

#include <cstdint>
#include <cstring>

// Every multi-byte number of a package file stands most significant byte
// first. Values stay in the machine's order in memory and pass through these
// on their way into the package image, and out of a package file.

inline void StoreBig32(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}

inline void StoreBig16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value >> 8);
  out[1] = static_cast<uint8_t>(value);
}

inline uint32_t LoadBig32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) << 24 | in[1] << 16 | in[2] << 8 | in[3];
}

inline uint16_t LoadBig16(const uint8_t* in) { return static_cast<uint16_t>(in[0] << 8 | in[1]); }

// An IEEE double, as a `real` binary holds it.
inline double LoadBigDouble(const uint8_t* in) {
  uint64_t bits = uint64_t{LoadBig32(in)} << 32 | LoadBig32(in + 4);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
