#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A ZIP archive of the files given, by name, each stored as it is (the
// formats inside are compressed already or small). Names are taken as
// UTF-8 and should be under 64 KiB; the whole under 4 GiB.
std::string StoredZip(const std::vector<std::pair<std::string, std::string_view>>& files);
