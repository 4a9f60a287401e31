#pragma once

#include <string>
#include <string_view>

// Text for SVG: Mac OS Roman bytes as UTF-8, characters that are markup
// escaped, and control characters (which XML 1.0 forbids) dropped.
void AppendMacRomanXml(std::string& out, std::string_view macRoman);
// Base64, for an image inside an SVG file.
std::string Base64(std::string_view bytes);
