#include "records/IoError.h"

#include <cerrno>

namespace tovra {

std::string IoErrorMessage(int code)
{
    switch (code) {
    case IoCode::FileNotFound: return "File not found";
    case IoCode::InvalidFilename: return "Invalid filename";
    case IoCode::TooManyOpenFiles: return "Too many open files";
    case IoCode::AccessDenied: return "File access denied";
    case IoCode::ReadBeyondEnd: return "Read beyond end of file";
    case IoCode::DiskFull: return "Disk full";
    case IoCode::InvalidNumericInput: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
    }
}

std::string IoErrorBoxText(int code)
{
    return IoErrorMessage(code) + ".";
}

int IoCodeFromErrno(int error)
{
    switch (error) {
    case ENOENT: return IoCode::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return IoCode::InvalidFilename;
    case EMFILE:
    case ENFILE: return IoCode::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS: return IoCode::AccessDenied;
    case ENOSPC:
    case EDQUOT: return IoCode::DiskFull;
    default: return error;
    }
}

IoError::IoError(int code)
    : code_(code), message_(IoErrorMessage(code))
{
}

} // namespace tovra
