#include "reader/header_text.h"

#include <cstdio>

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::optional<std::string> TypeCharacters(uint32_t type) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = static_cast<char>(type >> shift);
    if (c < 0x20 || c > 0x7E) return std::nullopt;
    text += c;
  }
  return text;
}

std::string TypeText(uint32_t type) { return TypeCharacters(type).value_or(Hex32(type)); }

// Seconds since 1904-01-01 as a calendar date and time (the days counted from
// 1970 and turned into a date by the usual civil-calendar arithmetic).
std::string DateText(uint32_t seconds) {
  int64_t days = seconds / 86400 - 24107 + 719468;
  int64_t era = days / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  long long year = yearOfEra + era * 400 + (month <= 2);
  uint32_t time = seconds % 86400;
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02u:%02u:%02u", year, month, day, time / 3600,
                time / 60 % 60, time % 60);
  return text;
}

