#include "records/IoError.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tovra {
namespace {

TEST(IoErrorTest, MessagesFollowTheTable)
{
    struct Row { int code; const char* message; };
    for (const Row row : {Row{2, "File not found"}, Row{3, "Invalid filename"}, Row{4, "Too many open files"},
                          Row{5, "File access denied"}, Row{100, "Read beyond end of file"}, Row{101, "Disk full"},
                          Row{106, "Invalid numeric input"}, Row{13, "I/O error 13"}, Row{1, "I/O error 1"},
                          Row{0, "I/O error 0"}, Row{102, "I/O error 102"}, Row{-7, "I/O error -7"}}) {
        EXPECT_EQ(IoErrorMessage(row.code), row.message);
        const IoError error(row.code);
        EXPECT_EQ(error.Code(), row.code);
        EXPECT_EQ(error.Message(), row.message);
        EXPECT_STREQ(error.what(), row.message);
    }
}

TEST(IoErrorTest, BoxTextEndsWithAFullStop)
{
    EXPECT_EQ(IoErrorBoxText(5), "File access denied.");
    EXPECT_EQ(IoErrorBoxText(100), "Read beyond end of file.");
    EXPECT_EQ(IoErrorBoxText(21), "I/O error 21.");
}

TEST(IoErrorTest, SystemErrorsShowTheTableOnlyForTheCausesItNames)
{
    // EIO is 5 and EINTR 4: an errno equal to a table code must not borrow that code's words.
    struct Row { int error; int code; const char* box; };
    for (const Row row : {Row{ENOENT, 2, "File not found."}, Row{ENOTDIR, 3, "Invalid filename."},
                          Row{ENAMETOOLONG, 3, "Invalid filename."}, Row{ELOOP, 3, "Invalid filename."},
                          Row{EMFILE, 4, "Too many open files."}, Row{ENFILE, 4, "Too many open files."},
                          Row{EACCES, 5, "File access denied."}, Row{EPERM, 5, "File access denied."},
                          Row{EROFS, 5, "File access denied."}, Row{ENOSPC, 101, "Disk full."},
                          Row{EDQUOT, 101, "Disk full."}, Row{EIO, EIO, "I/O error 5. Input/output error."},
                          Row{EINTR, EINTR, "I/O error 4. Interrupted system call."},
                          Row{EAGAIN, EAGAIN, "I/O error 11. Resource temporarily unavailable."},
                          Row{EISDIR, EISDIR, "I/O error 21. Is a directory."}}) {
        const IoError error = IoError::FromErrno(row.error);
        EXPECT_EQ(error.Code(), row.code) << "errno " << row.error;
        EXPECT_EQ(error.BoxText(), row.box) << "errno " << row.error;
    }
}

} // namespace
} // namespace tovra
