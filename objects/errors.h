#pragma once

#include <stdexcept>
#include <string>

// A problem with what the user handed the tool (a data file, a limit of the
// package format). The message is printed on standard output as it stands and
// the run ends with status 1.
class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& message) : std::runtime_error(message) {}
};

// The package file could not be written. The message is printed on standard
// error and the run ends with status 1.
class OutputError : public std::runtime_error {
 public:
  explicit OutputError(const std::string& message) : std::runtime_error(message) {}
};

// printf-style formatting into a std::string, for the messages above.
// (MinGW's C99 printf is checked as GNU's, not as the system's.)
#ifdef __MINGW_PRINTF_FORMAT
#define PKGEMBED_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define PKGEMBED_PRINTF_FORMAT printf
#endif
std::string Format(const char* format, ...) __attribute__((format(PKGEMBED_PRINTF_FORMAT, 1, 2)));
