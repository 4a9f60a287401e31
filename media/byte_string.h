#pragma once

#include <cstdint>
#include <string>

#include "packaging/big_endian.h"

// Numbers appended to a file being made in memory: PNG's stand most
// significant byte first, WAV's and ZIP's least significant first.

inline void AppendBig32(std::string& out, uint32_t value) {
  uint8_t bytes[4];
  StoreBig32(bytes, value);
  out.append(reinterpret_cast<const char*>(bytes), 4);
}

inline void AppendLittle16(std::string& out, uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

inline void AppendLittle32(std::string& out, uint32_t value) {
  AppendLittle16(out, static_cast<uint16_t>(value));
  AppendLittle16(out, static_cast<uint16_t>(value >> 16));
}
