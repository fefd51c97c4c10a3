// Reads the version note back from an ELF file. The file may be anything the user points at, so
// every offset and size is checked against the file's length before use and nothing is trusted.
#include "util/Utils1.h"
#include "util/VersionNote.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <vector>

namespace tovra {

namespace {

// Random access to the bytes of an image, from a file or from memory.
struct ByteSource {
    std::uint64_t size = 0;
    // Fills out from offset; the caller has checked that the range lies inside size.
    std::function<bool(std::uint64_t offset, std::span<unsigned char> out)> read;
};

constexpr std::uint32_t SectionTypeNote = 7; // SHT_NOTE
constexpr std::uint32_t SegmentTypeNote = 4; // PT_NOTE
// Notes are a few dozen bytes; a larger note area is skipped rather than loaded.
constexpr std::uint64_t MaxNoteArea = 1u << 20;
// Far beyond any real file; bounds what a forged extended section count can make us load.
constexpr std::uint64_t MaxSections = 1u << 20;

struct VersionWords {
    std::uint32_t mostSignificant;
    std::uint32_t leastSignificant;
};

bool rangeInside(std::uint64_t offset, std::uint64_t length, std::uint64_t size)
{
    return offset <= size && length <= size - offset;
}

class ElfReader {
public:
    explicit ElfReader(const ByteSource& source) : source_(source) {}

    std::optional<VersionWords> findVersion()
    {
        if (!readHeader())
            return std::nullopt;
        if (auto words = searchSections())
            return words;
        return searchSegments();
    }

private:
    const ByteSource& source_;
    bool is64_ = false;
    bool bigEndian_ = false;
    std::uint64_t programHeaderOffset_ = 0;
    std::uint64_t sectionHeaderOffset_ = 0;
    std::uint16_t programHeaderSize_ = 0;
    std::uint16_t programHeaderCount_ = 0;
    std::uint16_t sectionHeaderSize_ = 0;
    std::uint16_t sectionHeaderCount_ = 0;

    std::uint64_t number(const unsigned char* bytes, int width) const
    {
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            const int index = bigEndian_ ? i : width - 1 - i;
            value = (value << 8) | bytes[index];
        }
        return value;
    }
    std::uint32_t word32(const unsigned char* bytes) const
    {
        return static_cast<std::uint32_t>(number(bytes, 4));
    }
    // An address-sized field: 4 bytes in a 32-bit file, 8 in a 64-bit one.
    std::uint64_t address(const unsigned char* bytes) const { return number(bytes, is64_ ? 8 : 4); }

    bool readBlock(std::uint64_t offset, std::uint64_t length, std::vector<unsigned char>& out) const
    {
        if (!rangeInside(offset, length, source_.size))
            return false;
        out.resize(static_cast<std::size_t>(length));
        return source_.read(offset, out);
    }

    bool readHeader()
    {
        std::vector<unsigned char> ident;
        if (!readBlock(0, 16, ident))
            return false;
        if (ident[0] != 0x7f || ident[1] != 'E' || ident[2] != 'L' || ident[3] != 'F')
            return false;
        if (ident[4] != 1 && ident[4] != 2) // EI_CLASS
            return false;
        if (ident[5] != 1 && ident[5] != 2) // EI_DATA
            return false;
        is64_ = ident[4] == 2;
        bigEndian_ = ident[5] == 2;

        std::vector<unsigned char> header;
        if (!readBlock(0, is64_ ? 64 : 52, header))
            return false;
        const unsigned char* h = header.data();
        programHeaderOffset_ = address(h + (is64_ ? 32 : 28));
        sectionHeaderOffset_ = address(h + (is64_ ? 40 : 32));
        const std::size_t sizes = is64_ ? 54 : 42; // e_phentsize, then e_phnum, e_shentsize, e_shnum
        programHeaderSize_ = static_cast<std::uint16_t>(number(h + sizes, 2));
        programHeaderCount_ = static_cast<std::uint16_t>(number(h + sizes + 2, 2));
        sectionHeaderSize_ = static_cast<std::uint16_t>(number(h + sizes + 4, 2));
        sectionHeaderCount_ = static_cast<std::uint16_t>(number(h + sizes + 6, 2));
        return true;
    }

    // Loads a table of count entries; entries shorter than the fields we read are refused.
    bool readTable(std::uint64_t offset, std::uint16_t entrySize, std::uint64_t count,
                   std::uint16_t minimumEntrySize, std::vector<unsigned char>& table) const
    {
        if (offset == 0 || count == 0 || entrySize < minimumEntrySize)
            return false;
        if (count > source_.size / entrySize)
            return false;
        return readBlock(offset, count * entrySize, table);
    }

    std::optional<VersionWords> searchSections()
    {
        const std::uint16_t minimum = is64_ ? 64 : 40;
        std::uint64_t count = sectionHeaderCount_;
        std::vector<unsigned char> table;
        if (count == 0) {
            // More than 0xff00 sections: the real count is the size field of section 0.
            if (!readTable(sectionHeaderOffset_, sectionHeaderSize_, 1, minimum, table))
                return std::nullopt;
            count = address(table.data() + (is64_ ? 32 : 20));
        }
        if (!readTable(sectionHeaderOffset_, sectionHeaderSize_, count, minimum, table))
            return std::nullopt;
        for (std::uint64_t i = 0; i < count; ++i) {
            const unsigned char* entry = table.data() + i * sectionHeaderSize_;
            if (word32(entry + 4) != SectionTypeNote)
                continue;
            const std::uint64_t offset = address(entry + (is64_ ? 24 : 16));
            const std::uint64_t size = address(entry + (is64_ ? 32 : 20));
            const std::uint64_t alignment = address(entry + (is64_ ? 48 : 32));
            if (auto words = searchNotes(offset, size, alignment))
                return words;
        }
        return std::nullopt;
    }

    std::optional<VersionWords> searchSegments()
    {
        std::vector<unsigned char> table;
        if (!readTable(programHeaderOffset_, programHeaderSize_, programHeaderCount_,
                       is64_ ? 56 : 32, table))
            return std::nullopt;
        for (std::uint64_t i = 0; i < programHeaderCount_; ++i) {
            const unsigned char* entry = table.data() + i * programHeaderSize_;
            if (word32(entry) != SegmentTypeNote)
                continue;
            const std::uint64_t offset = address(entry + (is64_ ? 8 : 4));
            const std::uint64_t size = address(entry + (is64_ ? 32 : 16));
            const std::uint64_t alignment = address(entry + (is64_ ? 48 : 28));
            if (auto words = searchNotes(offset, size, alignment))
                return words;
        }
        return std::nullopt;
    }

    // Walks the notes of one area: namesz, descsz, type, then name and descriptor, each padded
    // to the area's alignment (8 only where the area says so, 4 otherwise). A note whose sizes
    // run past the area ends the walk: nothing after it can be located reliably.
    std::optional<VersionWords> searchNotes(std::uint64_t offset, std::uint64_t size,
                                            std::uint64_t alignment) const
    {
        if (size > MaxNoteArea)
            return std::nullopt;
        std::vector<unsigned char> area;
        if (!readBlock(offset, size, area))
            return std::nullopt;
        const std::uint64_t align = alignment == 8 ? 8 : 4;
        const auto padded = [align](std::uint64_t n) { return (n + align - 1) / align * align; };
        std::uint64_t pos = 0;
        while (area.size() - pos >= 12) {
            const unsigned char* note = area.data() + pos;
            const std::uint64_t nameSize = word32(note);
            const std::uint64_t descSize = word32(note + 4);
            const std::uint32_t type = word32(note + 8);
            if (nameSize > area.size() - pos - 12)
                return std::nullopt;
            // The descriptor starts at the header plus the name, rounded up from the note's start.
            const std::uint64_t descStart =
                std::min<std::uint64_t>(pos + padded(12 + nameSize), area.size());
            if (descSize > area.size() - descStart)
                return std::nullopt;
            if (type == VersionNoteType && nameSize == sizeof(VersionNoteName)
                && descSize == VersionNoteDescSize
                && std::memcmp(note + 12, VersionNoteName, sizeof(VersionNoteName)) == 0) {
                const unsigned char* desc = area.data() + descStart;
                return VersionWords{word32(desc), word32(desc + 4)};
            }
            pos = std::min<std::uint64_t>(descStart + padded(descSize), area.size());
        }
        return std::nullopt;
    }
};

std::string versionText(const ByteSource& source)
{
    const auto words = ElfReader(source).findVersion();
    if (!words)
        return {};
    return std::to_string(words->mostSignificant >> 16) + '.'
        + std::to_string(words->mostSignificant & 0xffff) + '.'
        + std::to_string(words->leastSignificant >> 16) + '.'
        + std::to_string(words->leastSignificant & 0xffff);
}

} // namespace

std::string VersionStringFromElfImage(std::span<const unsigned char> image)
{
    ByteSource source;
    source.size = image.size();
    source.read = [image](std::uint64_t offset, std::span<unsigned char> out) {
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    };
    return versionText(source);
}

std::string FileVersionString(const std::string& path)
{
    std::error_code error;
    // Only regular files (symbolic links followed): a directory or a device has no fixed size.
    if (!std::filesystem::is_regular_file(path, error))
        return {};
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return {};
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    ByteSource source;
    source.size = size;
    source.read = [&file](std::uint64_t offset, std::span<unsigned char> out) {
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
        return file.gcount() == static_cast<std::streamsize>(out.size());
    };
    return versionText(source);
}

} // namespace tovra
