#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The fields of a package header and its part entries as text, the same in
// the report and in the JSON output.

std::string Hex32(uint32_t value);
// Four printable characters such as "auto", or none.
std::optional<std::string> TypeCharacters(uint32_t type);
// The characters, or the number where they are not printable.
std::string TypeText(uint32_t type);
// Seconds since 1904-01-01 as "YYYY-MM-DD HH:MM:SS".
std::string DateText(uint32_t seconds);
