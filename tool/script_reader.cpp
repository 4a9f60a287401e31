#include "tool/script_reader.h"

#include <algorithm>

namespace {

bool IsWhiteSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// A magnitude is held here once it leaves the range of either sign.
const int64_t kBeyondRange = int64_t{INT32_MAX} + 2;

}  // namespace

int Refuse(const char* message) {
  std::fputs(message, stdout);
  return 1;
}

bool ScriptReader::NextToken(std::string& token) {
  token.clear();
  int c = SkipWhiteSpace();
  while (c != EOF && !IsWhiteSpace(c)) {
    token.push_back(static_cast<char>(c));
    c = Get();
  }
  // Left unread, so that the line feed after a lone "#" still ends its comment.
  if (c != EOF) Unget();
  return !token.empty() && !std::ferror(file);
}

ScriptReader::Number ScriptReader::ReadNumber(int32_t& value) {
  int c = SkipWhiteSpace();
  bool negative = c == '-';
  if (c == '-' || c == '+') c = Get();
  int64_t magnitude = 0;
  bool any = false;
  for (; IsDigit(c); c = Get()) {
    any = true;
    magnitude = std::min(magnitude * 10 + (c - '0'), kBeyondRange);
  }
  if (c != EOF) Unget();
  if (!any || std::ferror(file)) return Number::kMissing;
  int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue < INT32_MIN || signedValue > INT32_MAX) return Number::kOutOfRange;
  value = static_cast<int32_t>(signedValue);
  return Number::kRead;
}

void ScriptReader::SkipLine() {
  int c;
  do {
    c = Get();
  } while (c != '\n' && c != EOF);
}

int ScriptReader::Missing(const char* message) const {
  return std::ferror(file) ? CouldntLoad() : Refuse(message);
}

int ScriptReader::Ended() const { return std::ferror(file) ? CouldntLoad() : 0; }

int ScriptReader::SkipWhiteSpace() {
  int c;
  do {
    c = Get();
  } while (IsWhiteSpace(c));
  return c;
}

int ScriptReader::Refill() {
  next = 0;
  end = std::fread(buffer.data(), 1, buffer.size(), file);
  return end > 0 ? buffer[next++] : EOF;
}

int ScriptReader::CouldntLoad() const {
  std::printf("Couldn't load [%s]!\n", path);
  return 1;
}
