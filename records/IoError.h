#pragma once
// The I/O error of the record file: an integer code, shown with the words of a fixed table.
#include "records/FileSystem.h"

#include <exception>
#include <string>

namespace tovra {

namespace IoCode {
inline constexpr int FileNotFound = 2;
inline constexpr int InvalidFilename = 3;
inline constexpr int TooManyOpenFiles = 4;
inline constexpr int AccessDenied = 5;
inline constexpr int ReadBeyondEnd = 100; // a read returned fewer bytes than asked
inline constexpr int DiskFull = 101;      // a write wrote fewer bytes than asked
inline constexpr int InvalidNumericInput = 106;
} // namespace IoCode

// The table's words for a code: "File access denied" for 5, "I/O error 13" for a code
// without a row.
std::string IoErrorMessage(int code);
// The text of the error box: the message and a full stop.
std::string IoErrorBoxText(int code);
// The code for a failed system call's errno when the table names its cause (missing file or
// path, open files, access, full disk); 0 for any other errno.
int IoCodeFromErrno(int error);

class IoError : public std::exception {
public:
    // An error of the table (or one of its code-less "I/O error N").
    explicit IoError(int code);
    // A failed system call: the table's error when it names the cause, else the errno itself,
    // told by its own description. An errno that happens to equal a table code (EIO is 5,
    // EINTR 4) is never shown with that code's words.
    static IoError FromErrno(int error);
    // Errors of the record file named `file` that a code's words would mislead about.
    static IoError AnotherCopySaving(const std::string& file);
    // `kind` says what the name holds instead: a folder, a FIFO...
    static IoError NotAFile(const std::string& file, FileKind kind);
    static IoError TemporaryFileRemoved(const std::string& file);
    static IoError CannotLock(const std::string& file, int error);

    int Code() const noexcept { return code_; }
    std::string Message() const { return message_; }
    // "File access denied." for a table error; "I/O error 5. Input/output error." for a
    // system error the table has no row for.
    std::string BoxText() const;
    const char* what() const noexcept override { return message_.c_str(); }

private:
    IoError(int code, std::string message, std::string description);

    int code_;
    std::string message_;
    std::string description_; // the system's words, for an errno without a row
};

} // namespace tovra
