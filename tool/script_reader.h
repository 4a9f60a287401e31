#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Tokens and numbers of a contents script, read the way C's formatted input
// reads "%s" and "%d": white space separates them, and the character that
// ends one stays unread for the next read.
class ScriptReader {
 public:
  ScriptReader(FILE* file, const char* path) : file(file), path(path), buffer(1 << 16) {}

  // The next token, however long; false at the end of the script or when the
  // script cannot be read.
  bool NextToken(std::string& token);

  enum class Number { kRead, kMissing, kOutOfRange };
  // A decimal integer with an optional sign, in the signed 32-bit range.
  Number ReadNumber(int32_t& value);

  // Discards the rest of the line, its line feed included.
  void SkipLine();

  // Reports a statement cut short by the end of the script (or, if the script
  // could not be read, that) and returns 1.
  int Missing(const char* message) const;
  // The script has ended: 0 if it was read whole, else the report and 1.
  int Ended() const;

 private:
  int SkipWhiteSpace();
  int CouldntLoad() const;
  // The next byte of the script, or EOF; read in large blocks, since the
  // script is read a byte at a time.
  int Get() { return next < end ? buffer[next++] : Refill(); }
  // Gives back the byte that Get() returned last.
  void Unget() { --next; }
  int Refill();

  FILE* file;
  const char* path;
  std::vector<unsigned char> buffer;
  size_t next = 0, end = 0;
};

// Prints a message about the script and returns 1.
int Refuse(const char* message);
