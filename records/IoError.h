#pragma once
// The I/O error of the record file: an integer code, shown with the words of a fixed table.
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
// The code for a failed system call's errno: the causes with a row in the table map onto
// its codes, any other errno is its own code.
int IoCodeFromErrno(int error);

class IoError : public std::exception {
public:
    explicit IoError(int code);
    int Code() const noexcept { return code_; }
    std::string Message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    int code_;
    std::string message_;
};

} // namespace tovra
