#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// Writes one JSON value as it goes, with the commas and colons in their
// places. Strings are taken as UTF-8 and come out valid whatever they hold:
// a byte that is no part of a well-formed character becomes U+FFFD.
class JsonWriter {
 public:
  // Without `out`, everything written stays in Text().
  explicit JsonWriter(FILE* out) : out(out) {}
  ~JsonWriter() { Flush(); }

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  void Key(std::string_view name);
  // A name written in the code, which is plain ASCII: copied as it is, at a
  // length the compiler knows.
  template <size_t N>
  void Key(const char (&name)[N]) {
    BeforeValue();
    char* quoted = Room(N + 2);
    quoted[0] = '"';
    std::memcpy(quoted + 1, name, N - 1);
    quoted[N] = '"';
    quoted[N + 1] = ':';
    used += N + 2;
    follows = false;
  }
  void String(std::string_view text);
  // Text this program made of printable ASCII without quotes or
  // backslashes, such as an instruction's name: copied as it is.
  void PlainString(std::string_view text) {
    BeforeValue();
    char* quoted = Room(text.size() + 2);
    quoted[0] = '"';
    std::memcpy(quoted + 1, text.data(), text.size());
    quoted[text.size() + 1] = '"';
    used += text.size() + 2;
  }
  // A value this program writes itself as JSON, such as a small array of
  // numbers and plain names: `write` is given room for `most` bytes and
  // returns the end of what it put there.
  template <typename Write>
  void Verbatim(size_t most, Write write) {
    BeforeValue();
    char* start = Room(most);
    used += write(start) - start;
  }
  // Names as packages hold them: each byte is a Latin-1 character.
  void Latin1Key(std::string_view name);
  void Latin1String(std::string_view text);
  void Number(int64_t value);
  // Not-a-number and the infinities, which JSON has no numbers for, as the
  // strings "NaN", "Infinity" and "-Infinity".
  void Real(double value);
  void Bool(bool value);
  void Null();
  // Ends the line after a complete value.
  void EndLine();
  // The bytes written so far.
  uint64_t Written() const { return written + used; }
  void Flush();
  std::string_view Text() const { return {buffer.get(), used}; }

 private:
  // Room for `count` more bytes after those written; they count once `used`
  // is raised past them.
  char* Room(size_t count) {
    return used + count <= capacity ? buffer.get() + used : MakeRoom(count);
  }
  char* MakeRoom(size_t count);
  void Put(char c) { *Room(1) = c, ++used; }
  void Append(std::string_view text);
  void Open(char bracket);
  void Close(char bracket);
  void BeforeValue();
  void Quoted(std::string_view text, bool latin1 = false);
  void Escaped(std::string_view text, bool latin1);

  FILE* out;
  // The first `used` of its `capacity` bytes are the text.
  std::unique_ptr<char[]> buffer;
  size_t capacity = 0;
  size_t used = 0;
  uint64_t written = 0;
  // Whether the next value or key follows another in its container, and so
  // needs a comma: not after an opening bracket, a key, or a finished line.
  bool follows = false;
};
