#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Text as package files hold it, turned into UTF-8: names are 8-bit (each
// byte a character of its own), strings UTF-16 big-endian.

void AppendUtf8(std::string& text, uint32_t code);

// Bytes as lower-case hex digits, two a byte.
std::string HexText(const uint8_t* bytes, size_t length);

// Calls `each` with every character of UTF-16 big-endian text up to its zero
// terminator or its end; surrogate pairs are joined, a lone surrogate is
// passed on as it is.
template <typename Each>
void ForEachUtf16(const uint8_t* bytes, size_t length, Each each) {
  for (size_t i = 0; i + 1 < length; i += 2) {
    uint32_t code = static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    if (code == 0) return;
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < length) {
      uint32_t low = static_cast<uint32_t>(bytes[i + 2] << 8 | bytes[i + 3]);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    each(code);
  }
}

inline bool IsSurrogate(uint32_t code) { return code >= 0xD800 && code < 0xE000; }

// Valid UTF-8 whatever the bytes: a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const uint8_t* bytes, size_t length);
std::string Latin1ToUtf8(std::string_view bytes);

// The shortest text that reads back as the same double, as printf's %g
// writes it ("1.5", "1e+20").
std::string RealText(double value);
