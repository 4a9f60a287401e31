#include "packaging/output_file.h"

#include <cerrno>
#include <cstring>

#include "objects/errors.h"

namespace {

[[noreturn]] void CannotWrite(const std::string& path, int error) {
  throw OutputError(Format("Couldn't write [%s]: %s\n", path.c_str(), std::strerror(error)));
}

// Writes the pieces to an open output and closes it; false, with the error
// set, where either fails.
bool WriteAndClose(intptr_t output, const std::vector<Piece>& pieces, int& error) {
  bool written = platform::WriteRuns(output, pieces, error);
  int closeError = 0;
  if (!platform::CloseOutput(output, closeError) && written) {
    written = false;
    error = closeError;
  }
  return written;
}

// Devices and pipes cannot be replaced by a rename; they get the bytes as
// they come.
void WriteDirectly(const std::string& path, const std::vector<Piece>& pieces) {
  int error = 0;
  intptr_t output = platform::OpenForWriting(path, error);
  if (output < 0 || !WriteAndClose(output, pieces, error)) CannotWrite(path, error);
}

void WriteByRename(const std::string& path, unsigned mode, const std::vector<Piece>& pieces) {
  std::string temporary;
  int error = 0;
  intptr_t output = platform::CreateTemporary(path, mode, temporary, error);
  if (output < 0) CannotWrite(path, error);
  if (!WriteAndClose(output, pieces, error) || !platform::PutInPlace(temporary, path, error)) {
    platform::RemoveFile(temporary);
    CannotWrite(path, error);
  }
}

}  // namespace

void WriteOutputFile(const std::string& path, const std::vector<Piece>& pieces) {
  // A link to a package is kept: the package it names is the one replaced.
  std::string target = platform::ResolveLink(path);
  unsigned mode = 0;
  switch (platform::GetPathKind(target, mode)) {
    case platform::PathKind::kMissing:
      return WriteByRename(target, platform::NewFileMode(), pieces);
    case platform::PathKind::kRegular:
      return WriteByRename(target, mode, pieces);
    case platform::PathKind::kDirectory:
      CannotWrite(target, EISDIR);
    case platform::PathKind::kOther:
      return WriteDirectly(target, pieces);
  }
}
