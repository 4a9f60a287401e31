#include "media/svg_text.h"

#include <cstdint>

#include "objects/text.h"

namespace {
// The characters of bytes 0x80 to 0xFF in Mac OS Roman.
const uint16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};
}  // namespace

void AppendMacRomanXml(std::string& out, std::string_view macRoman) {
  for (char c : macRoman) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      AppendUtf8(out, kMacRomanHigh[byte - 0x80]);
    } else if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (byte >= 0x20 && byte != 0x7F) {
      out += c;
    }
  }
}

std::string Base64(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out((bytes.size() + 2) / 3 * 4, '=');
  char* next = out.data();
  auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])); };
  size_t whole = bytes.size() / 3 * 3;
  for (size_t i = 0; i < whole; i += 3, next += 4) {
    uint32_t group = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    next[0] = kAlphabet[group >> 18], next[1] = kAlphabet[group >> 12 & 63];
    next[2] = kAlphabet[group >> 6 & 63], next[3] = kAlphabet[group & 63];
  }
  if (whole < bytes.size()) {
    uint32_t group = byte(whole) << 16 | (whole + 1 < bytes.size() ? byte(whole + 1) << 8 : 0);
    next[0] = kAlphabet[group >> 18], next[1] = kAlphabet[group >> 12 & 63];
    if (whole + 1 < bytes.size()) next[2] = kAlphabet[group >> 6 & 63];
  }
  return out;
}
