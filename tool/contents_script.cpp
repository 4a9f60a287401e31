#include "tool/contents_script.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "objects/loader.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"

namespace {

// The contents frame's map holds one element more than the frame.
const int32_t kMaxContentsSlots = kMaxElements - 1;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

bool IsWhiteSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

int Refuse(const char* message) {
  std::fputs(message, stdout);
  return 1;
}

// Tokens and numbers of the script, read as C's formatted input reads "%s"
// and "%d": the character that ends one stays unread for the next read.
class ScriptReader {
 public:
  ScriptReader(FILE* file, const char* path) : file(file), path(path) {}

  // The next whitespace-delimited token, however long; false at the end.
  bool NextToken(std::string& token) {
    token.clear();
    int c = SkipWhiteSpace();
    while (c != EOF && !IsWhiteSpace(c)) {
      token.push_back(static_cast<char>(c));
      c = std::getc(file);
    }
    // Left unread, so that the line feed after a lone "#" still ends its comment.
    if (c != EOF) std::ungetc(c, file);
    return !token.empty();
  }

  enum class Number { kRead, kMissing, kOutOfRange };
  static constexpr int64_t kBeyondRange = int64_t{INT32_MAX} + 2;

  // A decimal integer with an optional sign.
  Number ReadNumber(int32_t& value) {
    int c = SkipWhiteSpace();
    bool negative = c == '-';
    if (c == '-' || c == '+') c = std::getc(file);
    int64_t magnitude = 0;
    bool any = false;
    for (; IsDigit(c); c = std::getc(file)) {
      any = true;
      // Held just past the range of either sign once it leaves it.
      magnitude = std::min(magnitude * 10 + (c - '0'), kBeyondRange);
    }
    if (c != EOF) std::ungetc(c, file);
    if (!any) return Number::kMissing;
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) return Number::kOutOfRange;
    value = static_cast<int32_t>(signedValue);
    return Number::kRead;
  }

  // Discards the rest of the line, its line feed included.
  void SkipLine() {
    int c;
    do {
      c = std::getc(file);
    } while (c != '\n' && c != EOF);
  }

  // The end of the script came early: a statement is incomplete, unless the
  // script could not be read at all.
  int Missing(const char* message) const { return std::ferror(file) ? CouldntLoad() : Refuse(message); }

  // The script ended; it is complete only if it was read without error.
  int Ended() const { return std::ferror(file) ? CouldntLoad() : 0; }

 private:
  int SkipWhiteSpace() {
    int c;
    do {
      c = std::getc(file);
    } while (IsWhiteSpace(c));
    return c;
  }

  int CouldntLoad() const {
    std::printf("Couldn't load [%s]!\n", path);
    return 1;
  }

  FILE* file;
  const char* path;
};

// The rest of a binary statement; sets `value` or returns 1.
int ReadBinary(ScriptReader& reader, Ref*& value) {
  std::string className, fileName;
  if (!reader.NextToken(className)) return reader.Missing("Missing the class of the binary data!\n");
  if (!reader.NextToken(fileName)) return reader.Missing("Missing the name of the binary file!\n");
  value = LoadBinaryFile(NewSymbolRef(className.c_str()), fileName.c_str());
  return 0;
}

// The rest of an asmCode statement; sets `value` or returns 1.
int ReadNativeFunction(ScriptReader& reader, Ref*& value) {
  int32_t numArgs = 0;
  switch (reader.ReadNumber(numArgs)) {
    case ScriptReader::Number::kMissing:
      return reader.Missing("Missing the number of parameters!\n");
    case ScriptReader::Number::kOutOfRange:
      return Refuse("The number of parameters is out of range!\n");
    case ScriptReader::Number::kRead:
      break;
  }
  std::string fileName;
  if (!reader.NextToken(fileName)) {
    return reader.Missing("Missing the name of the binary file containing asm code!\n");
  }
  value = NewNativeFunction(fileName.c_str(), numArgs);
  return 0;
}

// One statement after its makeSlot keyword. All its tokens are read before
// the file it names is opened.
int ReadStatement(ScriptReader& reader, Ref* frame) {
  std::string slotName, type;
  if (!reader.NextToken(slotName)) return reader.Missing("Missing the slot name!\n");
  if (!reader.NextToken(type)) return reader.Missing("Missing the type of the slot!\n");
  Ref* value = nullptr;
  int status;
  if (strcasecmp(type.c_str(), "binary") == 0) {
    status = ReadBinary(reader, value);
  } else if (strcasecmp(type.c_str(), "asmCode") == 0) {
    status = ReadNativeFunction(reader, value);
  } else {
    return Refuse("not an expected slot type!\n");
  }
  if (status != 0) return status;
  frame->SetSlot(NewSymbolRef(slotName.c_str()), value);
  if (frame->target->NumberOfSlots() > kMaxContentsSlots) {
    return Refuse("Too many slots in the contents frame for the package format!\n");
  }
  return 0;
}

}  // namespace

int ReadContentsScript(Ref* frame, const char* path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "r"));
  if (!file) {
    std::printf("Couldn't load [%s]!\n", path);
    return 1;
  }
  ScriptReader reader(file.get(), path);
  std::string word;
  while (reader.NextToken(word)) {
    if (word[0] == '#') {
      reader.SkipLine();
    } else if (strcasecmp(word.c_str(), "makeSlot") == 0) {
      if (int status = ReadStatement(reader, frame); status != 0) return status;
    }
  }
  return reader.Ended();
}
