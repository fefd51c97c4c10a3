#pragma once
// The commands' output (--help, --analyse, --history ...) goes through these streams, made only
// when a command runs. The standard library's own cout and cerr are set up, with every locale
// facet, at each start of any program that includes <iostream>: a third of a megabyte of memory
// touched at every start of the game's window, which never writes to a terminal.
#include <array>
#include <ostream>
#include <streambuf>

namespace tovra {

// Collects what is written and hands it to a file descriptor a buffer at a time, and at flush.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int descriptor);
    ~DescriptorBuffer() override;
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

protected:
    int_type overflow(int_type character) override;
    int sync() override;

private:
    // Everything collected so far reached the descriptor.
    bool writeOut();

    int descriptor_;
    std::array<char, 4096> buffer_{};
};

// A stream to standard output or standard error; what is left is written when it goes.
class TerminalStream : public std::ostream {
public:
    explicit TerminalStream(int descriptor);
    ~TerminalStream() override;

private:
    DescriptorBuffer buffer_;
};

} // namespace tovra
