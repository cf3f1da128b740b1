// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace narravox {

// Error codes of input/output failures, as the player sees them in the error box.
inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorInvalidFilename = 3;
inline constexpr int kErrorTooManyOpenFiles = 4;
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorReadBeyondEnd = 100;
inline constexpr int kErrorDiskFull = 101;
inline constexpr int kErrorInvalidNumericInput = 106;

// The message for an error code: "File not found", ..., or "I/O error N".
std::string IoErrorMessage(int code);

// The error code for a failed system call's errno.
int IoErrorCodeFromErrno(int error_number);

// An input/output failure; abandons the event being handled. Nothing between the reader that
// throws it and the event boundary catches it.
class IoError : public std::runtime_error {
  public:
    explicit IoError(int code);
    int code() const noexcept { return code_; }

  private:
    int code_;
};

// Throws the IoError for the current errno.
[[noreturn]] void ThrowIoErrorFromErrno();

// The text of the error box for a message: a full stop is appended when the message's last
// character sorts after the full stop.
std::string ErrorBoxText(std::string_view message);

// The program's title (code page 1251), used as the caption of error boxes: the executable's
// file name (without its folder) up to its first full stop, every character after the first in
// lower case. `executable_path` is the path as the system gave it to main().
std::string ProgramTitle(std::string_view executable_path);

}  // namespace narravox
