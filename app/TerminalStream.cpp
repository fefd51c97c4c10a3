#include "app/TerminalStream.h"

#include <cerrno>
#include <unistd.h>

namespace tovra {

DescriptorBuffer::DescriptorBuffer(int descriptor)
    : descriptor_(descriptor)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DescriptorBuffer::~DescriptorBuffer() { writeOut(); }

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type character)
{
    if (!writeOut())
        return traits_type::eof();
    if (!traits_type::eq_int_type(character, traits_type::eof()))
        sputc(traits_type::to_char_type(character));
    return traits_type::not_eof(character);
}

int DescriptorBuffer::sync() { return writeOut() ? 0 : -1; }

bool DescriptorBuffer::writeOut()
{
    const char* next = pbase();
    while (next < pptr()) {
        const ssize_t written = ::write(descriptor_, next, static_cast<std::size_t>(pptr() - next));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // Lost, as a closed terminal loses it; the stream reports the failure.
            setp(buffer_.data(), buffer_.data() + buffer_.size());
            return false;
        }
        next += written;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
}

TerminalStream::TerminalStream(int descriptor)
    : std::ostream(nullptr)
    , buffer_(descriptor)
{
    rdbuf(&buffer_);
}

TerminalStream::~TerminalStream() { flush(); }

} // namespace tovra
