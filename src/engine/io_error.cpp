// SPDX-License-Identifier: MIT
#include "io_error.h"

#include <cerrno>
#include <cstdio>

#include "cp1251.h"
#include "interp/normalize.h"

namespace narravox {

std::string IoErrorMessage(int code) {
    switch (code) {
        case kErrorFileNotFound:
            return "File not found";
        case kErrorInvalidFilename:
            return "Invalid filename";
        case kErrorTooManyOpenFiles:
            return "Too many open files";
        case kErrorAccessDenied:
            return "File access denied";
        case kErrorReadBeyondEnd:
            return "Read beyond end of file";
        case kErrorDiskFull:
            return "Disk full";
        case kErrorInvalidNumericInput:
            return "Invalid numeric input";
        default:
            return "I/O error " + std::to_string(code);
    }
}

int IoErrorCodeFromErrno(int error_number) {
    switch (error_number) {
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case EINVAL:
        case ELOOP:
            return kErrorInvalidFilename;
        case EMFILE:
        case ENFILE:
            return kErrorTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case EBUSY:
        case ETXTBSY:
            return kErrorAccessDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kErrorDiskFull;
        default:
            return error_number;
    }
}

IoError::IoError(int code) : std::runtime_error(IoErrorMessage(code)), code_(code) {}

void ThrowIoErrorFromErrno() {
    throw IoError(IoErrorCodeFromErrno(errno));
}

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text += '.';
    }
    return text;
}

std::string ProgramTitle(std::string_view executable_path) {
    const auto slash = executable_path.find_last_of('/');
    std::string_view name =
        slash == std::string_view::npos ? executable_path : executable_path.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    // The system gives the path in the locale's encoding, UTF-8 wherever this program is
    // packaged; characters the code page lacks are left out of the title. A name that is no
    // UTF-8 comes from a system set up for a single-byte code page, and is taken as this one.
    std::string title = IsUtf8(name) ? Utf8ToCp1251Lossy(name) : std::string(name);
    if (title.size() > 1) {
        title.replace(1, std::string::npos, LowerCase(std::string_view(title).substr(1)));
    }
    return title;
}

}  // namespace narravox
