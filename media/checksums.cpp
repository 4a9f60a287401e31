#include "media/checksums.h"

#include <array>

namespace {
std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
}  // namespace

uint32_t Crc32(const uint8_t* bytes, size_t length, uint32_t crc) {
  static const std::array<uint32_t, 256> table = MakeCrcTable();
  crc = ~crc;
  for (size_t i = 0; i < length; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const uint8_t* bytes, size_t length) {
  const uint32_t kModulus = 65521;
  uint32_t a = 1, b = 0;
  while (length > 0) {
    // 5552 bytes is the most that cannot overflow b before the modulus.
    size_t run = length < 5552 ? length : 5552;
    for (size_t i = 0; i < run; ++i) {
      a += bytes[i];
      b += a;
    }
    a %= kModulus;
    b %= kModulus;
    bytes += run;
    length -= run;
  }
  return b << 16 | a;
}
