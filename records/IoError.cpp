#include "records/IoError.h"

#include <cerrno>
#include <system_error>

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
    default: return 0;
    }
}

IoError::IoError(int code)
    : IoError(code, IoErrorMessage(code), {})
{
}

IoError::IoError(int code, std::string message, std::string description)
    : code_(code), message_(std::move(message)), description_(std::move(description))
{
}

IoError IoError::FromErrno(int error)
{
    if (const int code = IoCodeFromErrno(error); code != 0)
        return IoError(code);
    return IoError(error, "I/O error " + std::to_string(error), std::generic_category().message(error));
}

IoError IoError::AnotherCopySaving(const std::string& file)
{
    return IoError(EWOULDBLOCK, "Another copy of the game is saving " + file + " right now. Click Ok to try again", {});
}

IoError IoError::NotAFile(const std::string& file, FileKind kind)
{
    const char* what = "something else";
    switch (kind) {
    case FileKind::Directory: what = "a folder"; break;
    case FileKind::Fifo: what = "a FIFO"; break;
    case FileKind::Socket: what = "a socket"; break;
    case FileKind::Device:
    case FileKind::NullDevice: what = "a device"; break;
    default: break;
    }
    return IoError(EINVAL, file + " is " + what + ", not a file: the game neither reads nor writes it", {});
}

IoError IoError::TemporaryFileRemoved(const std::string& file)
{
    return IoError(ENOENT, "Someone else removed the game's temporary file for " + file + " before it was in place; " +
                               file + " is unchanged",
                   {});
}

IoError IoError::CannotLock(const std::string& file, int error)
{
    return IoError(error, file + " cannot be locked against other copies of the game (" +
                              std::generic_category().message(error) + "), so nothing was saved",
                   {});
}

std::string IoError::BoxText() const
{
    if (description_.empty())
        return message_ + ".";
    return message_ + ". " + description_ + ".";
}

} // namespace tovra
