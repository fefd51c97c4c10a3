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

TEST(IoErrorTest, SystemErrorsMapOntoTheTable)
{
    struct Row { int error; int code; };
    for (const Row row : {Row{ENOENT, 2}, Row{ENOTDIR, 3}, Row{ENAMETOOLONG, 3}, Row{ELOOP, 3}, Row{EMFILE, 4},
                          Row{ENFILE, 4}, Row{EACCES, 5}, Row{EPERM, 5}, Row{EROFS, 5}, Row{ENOSPC, 101},
                          Row{EDQUOT, 101}, Row{EISDIR, EISDIR}, Row{EAGAIN, EAGAIN}, Row{EXDEV, EXDEV}})
        EXPECT_EQ(IoCodeFromErrno(row.error), row.code) << "errno " << row.error;
}

} // namespace
} // namespace tovra
