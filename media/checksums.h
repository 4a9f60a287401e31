#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32 as PNG and ZIP use it; pass the result of one call as `crc` to go on
// over more bytes.
uint32_t Crc32(const uint8_t* bytes, size_t length, uint32_t crc = 0);

// Adler-32, the check that ends a zlib stream.
uint32_t Adler32(const uint8_t* bytes, size_t length);
