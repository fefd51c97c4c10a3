// The commands' output stream: every byte reaches the descriptor in order, whatever the length,
// and a descriptor that cannot be written is reported, not passed over.
#include "app/TerminalStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace tovra {
namespace {

std::string ReadBack(int descriptor)
{
    std::string read;
    char chunk[1024];
    ::lseek(descriptor, 0, SEEK_SET);
    for (ssize_t got; (got = ::read(descriptor, chunk, sizeof chunk)) > 0;)
        read.append(chunk, static_cast<std::size_t>(got));
    return read;
}

class TerminalStreamWrites : public ::testing::TestWithParam<std::size_t> {};

TEST_P(TerminalStreamWrites, EveryByteInOrder)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::string expected;
    for (std::size_t line = 0; expected.size() < GetParam(); ++line)
        expected += "line " + std::to_string(line) + "\n";
    {
        TerminalStream stream(::fileno(file));
        stream << expected;
        EXPECT_TRUE(stream.good());
    }
    EXPECT_EQ(ReadBack(::fileno(file)), expected);
    std::fclose(file);
}

// Empty, under one buffer, exactly around it, and many buffers long.
INSTANTIATE_TEST_SUITE_P(Lengths, TerminalStreamWrites, ::testing::Values(0, 100, 4095, 4096, 4097, 200'000));

TEST(TerminalStream, AFailedWriteIsReported)
{
    const int readOnly = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(readOnly, 0);
    TerminalStream stream(readOnly);
    stream << std::string(10'000, 'x');
    stream.flush();
    EXPECT_TRUE(stream.bad());
    ::close(readOnly);
}

} // namespace
} // namespace tovra
