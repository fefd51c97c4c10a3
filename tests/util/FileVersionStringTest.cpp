#include "util/Utils1.h"
#include "util/VersionNote.h"
#include "core/SplitMix64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace tovra {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// The version this test binary carries, like the game: it links the same version note.
constexpr const char* BuildVersion = TOVRA_FILE_VERSION;
// The version written into the small ELF images below; deliberately not the build's.
constexpr const char* ImageVersion = "1.2.3.4";

Bytes readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWhole(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class TempFolder : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path()
            / ("tovra-version-" + std::to_string(::getpid()) + "-"
               + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Writes bytes to a fresh file of the folder and reads its version back.
    std::string versionOfFile(const Bytes& bytes)
    {
        const fs::path path = folder_ / ("file" + std::to_string(count_++));
        writeWhole(path, bytes);
        return FileVersionString(path.string());
    }

    fs::path folder_;
    int count_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Small ELF images built field by field, in either class and byte order.

struct ElfShape {
    bool is64 = true;
    bool bigEndian = false;
    bool withSections = true; // a SHT_NOTE section covering the notes
    bool withSegment = true;  // a PT_NOTE program header covering the notes
    bool otherNoteFirst = false; // a foreign note (odd name length) before ours
    std::uint64_t alignment = 4;
    std::uint32_t mostSignificant = (1u << 16) | 2u; // ImageVersion
    std::uint32_t leastSignificant = (3u << 16) | 4u;
};

struct ElfImage {
    Bytes bytes;
    bool bigEndian = false;
    std::size_t noteAt = 0;          // start of our note (its namesz field)
    std::size_t sectionHeaderAt = 0; // the note section's header
    std::size_t programHeaderAt = 0; // the PT_NOTE header

    void put(std::size_t at, std::uint64_t value, int width)
    {
        if (bytes.size() < at + width)
            bytes.resize(at + width);
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (bigEndian ? width - 1 - i : i);
            bytes[at + i] = static_cast<unsigned char>(value >> shift);
        }
    }
};

std::size_t padTo(std::size_t n, std::uint64_t alignment)
{
    return (n + alignment - 1) / alignment * alignment;
}

ElfImage buildElf(const ElfShape& shape)
{
    ElfImage image;
    image.bigEndian = shape.bigEndian;
    const int addressWidth = shape.is64 ? 8 : 4;
    const std::size_t headerSize = shape.is64 ? 64 : 52;
    const std::size_t phEntry = shape.is64 ? 56 : 32;
    const std::size_t shEntry = shape.is64 ? 64 : 40;

    image.bytes.assign(headerSize, 0);
    const unsigned char ident[] = {0x7f, 'E', 'L', 'F', static_cast<unsigned char>(shape.is64 ? 2 : 1),
                                   static_cast<unsigned char>(shape.bigEndian ? 2 : 1), 1};
    std::copy(std::begin(ident), std::end(ident), image.bytes.begin());
    image.put(16, 2, 2);                         // ET_EXEC
    image.put(18, shape.is64 ? 62 : 20, 2);      // a machine number; nobody looks at it
    image.put(20, 1, 4);

    const std::size_t phAt = headerSize;
    const std::size_t notesAt = padTo(phAt + (shape.withSegment ? phEntry : 0), 8);

    // The notes area.
    std::size_t at = notesAt;
    if (shape.otherNoteFirst) {
        image.put(at, 4, 4);  // "GNU" + NUL
        image.put(at + 4, 20, 4);
        image.put(at + 8, 3, 4);
        image.bytes.resize(at + 12);
        for (char ch : std::string("GNU", 4))
            image.bytes.push_back(static_cast<unsigned char>(ch));
        image.bytes.resize(padTo(image.bytes.size(), shape.alignment) + 20, 0xab);
        image.bytes.resize(padTo(image.bytes.size(), shape.alignment), 0);
        at = image.bytes.size();
    }
    image.noteAt = at;
    image.put(at, sizeof(VersionNoteName), 4);
    image.put(at + 4, VersionNoteDescSize, 4);
    image.put(at + 8, VersionNoteType, 4);
    image.bytes.resize(at + 12);
    image.bytes.insert(image.bytes.end(), VersionNoteName, VersionNoteName + sizeof(VersionNoteName));
    image.bytes.resize(padTo(image.bytes.size(), shape.alignment), 0);
    const std::size_t descAt = image.bytes.size();
    image.put(descAt, shape.mostSignificant, 4);
    image.put(descAt + 4, shape.leastSignificant, 4);
    image.bytes.resize(padTo(image.bytes.size(), shape.alignment), 0);
    const std::size_t notesSize = image.bytes.size() - notesAt;

    if (shape.withSegment) {
        image.programHeaderAt = phAt;
        image.put(shape.is64 ? 32 : 28, phAt, addressWidth); // e_phoff
        image.put(shape.is64 ? 54 : 42, phEntry, 2);
        image.put(shape.is64 ? 56 : 44, 1, 2);
        image.put(phAt, 4, 4); // PT_NOTE
        image.put(phAt + (shape.is64 ? 8 : 4), notesAt, addressWidth);
        image.put(phAt + (shape.is64 ? 32 : 16), notesSize, addressWidth);
        image.put(phAt + (shape.is64 ? 48 : 28), shape.alignment, addressWidth);
    }
    if (shape.withSections) {
        const std::size_t shAt = padTo(image.bytes.size(), 8);
        image.bytes.resize(shAt + 2 * shEntry, 0); // the null section, then the notes
        image.sectionHeaderAt = shAt + shEntry;
        image.put(shape.is64 ? 40 : 32, shAt, addressWidth); // e_shoff
        image.put(shape.is64 ? 58 : 46, shEntry, 2);
        image.put(shape.is64 ? 60 : 48, 2, 2);
        const std::size_t note = image.sectionHeaderAt;
        image.put(note + 4, 7, 4); // SHT_NOTE
        image.put(note + (shape.is64 ? 24 : 16), notesAt, addressWidth);
        image.put(note + (shape.is64 ? 32 : 20), notesSize, addressWidth);
        image.put(note + (shape.is64 ? 48 : 32), shape.alignment, addressWidth);
    }
    image.put(shape.is64 ? 52 : 40, headerSize, 2); // e_ehsize
    return image;
}

// ---------------------------------------------------------------------------------------------

TEST(FileVersionString, OwnExecutableGivesTheBuildVersion)
{
    EXPECT_EQ(FileVersionString("/proc/self/exe"), BuildVersion);
}

TEST(FileVersionString, SystemExecutableWithoutTheNoteGivesEmpty)
{
    const Bytes shell = readWhole("/bin/sh");
    ASSERT_GE(shell.size(), 4u);
    ASSERT_EQ(std::memcmp(shell.data(), "\x7f" "ELF", 4), 0) << "/bin/sh should be an ELF file";
    EXPECT_EQ(FileVersionString("/bin/sh"), "");
}

TEST(FileVersionString, MissingFileOrFolderGivesEmpty)
{
    EXPECT_EQ(FileVersionString("/nonexistent/tovratovratovra"), "");
    EXPECT_EQ(FileVersionString(fs::temp_directory_path().string()), "");
    EXPECT_EQ(FileVersionString(""), "");
}

using FileVersionStringFiles = TempFolder;

TEST_F(FileVersionStringFiles, EmptyAndNonElfFilesGiveEmpty)
{
    EXPECT_EQ(versionOfFile({}), "");
    const std::string text = "#!/bin/sh\necho Tovra\n";
    EXPECT_EQ(versionOfFile(Bytes(text.begin(), text.end())), "");
    EXPECT_EQ(versionOfFile(Bytes{0x7f, 'E', 'L', 'F'}), "");
}

// Finds our note in the test binary's own bytes: namesz 6, descsz 8, our type, "Tovra".
std::size_t findOwnNote(const Bytes& exe, bool& found)
{
    Bytes pattern(12);
    const std::uint32_t head[] = {sizeof(VersionNoteName), VersionNoteDescSize, VersionNoteType};
    std::memcpy(pattern.data(), head, sizeof head); // this machine's order, as the linker wrote it
    pattern.insert(pattern.end(), VersionNoteName, VersionNoteName + sizeof(VersionNoteName));
    const auto it = std::search(exe.begin(), exe.end(), pattern.begin(), pattern.end());
    found = it != exe.end();
    return static_cast<std::size_t>(it - exe.begin());
}

TEST_F(FileVersionStringFiles, DamagedCopiesOfTheExecutableGiveEmpty)
{
    const Bytes exe = readWhole("/proc/self/exe");
    bool found = false;
    const std::size_t note = findOwnNote(exe, found);
    ASSERT_TRUE(found);
    ASSERT_EQ(versionOfFile(exe), BuildVersion) << "an intact copy reads like the original";

    for (std::size_t length : {std::size_t{3}, std::size_t{16}, std::size_t{40}, std::size_t{63},
                               std::size_t{64}, note, note + 12, note + 20}) {
        SCOPED_TRACE("cut after " + std::to_string(length) + " bytes");
        EXPECT_EQ(versionOfFile(Bytes(exe.begin(), exe.begin() + static_cast<std::ptrdiff_t>(length))), "");
    }
    for (std::uint32_t descSize : {0u, 4u, 12u, 0x7fffffffu, 0xfffffff0u}) {
        SCOPED_TRACE("descriptor size " + std::to_string(descSize));
        Bytes copy = exe;
        std::memcpy(copy.data() + note + 4, &descSize, 4);
        EXPECT_EQ(versionOfFile(copy), "");
    }
}

TEST_F(FileVersionStringFiles, CutsAnywhereInTheExecutableNeverGiveAWrongVersion)
{
    const Bytes exe = readWhole("/proc/self/exe");
    tovra::SplitMix64 random(20070305);
    for (int i = 0; i < 40; ++i) {
        const std::size_t length = random.Next() % exe.size();
        SCOPED_TRACE("cut after " + std::to_string(length) + " bytes");
        const std::string version =
            versionOfFile(Bytes(exe.begin(), exe.begin() + static_cast<std::ptrdiff_t>(length)));
        // The note may survive a cut behind it (the headers come first); it is never misread.
        EXPECT_TRUE(version.empty() || version == BuildVersion) << version;
    }
}

// ---------------------------------------------------------------------------------------------

struct ShapeCase {
    const char* situation;
    ElfShape shape;
    const char* expected;
};

void PrintTo(const ShapeCase& row, std::ostream* out) { *out << row.situation; }

class FileVersionStringShapes : public TempFolder, public testing::WithParamInterface<ShapeCase> {};

TEST_P(FileVersionStringShapes, ReadsTheNoteInEveryClassAndByteOrder)
{
    EXPECT_EQ(versionOfFile(buildElf(GetParam().shape).bytes), GetParam().expected);
}

ElfShape shapeOf(bool is64, bool bigEndian, bool sections, bool segment)
{
    ElfShape shape;
    shape.is64 = is64;
    shape.bigEndian = bigEndian;
    shape.withSections = sections;
    shape.withSegment = segment;
    return shape;
}

ElfShape highNumbers()
{
    ElfShape shape = shapeOf(false, true, true, false);
    shape.mostSignificant = 0xffff0001;
    shape.leastSignificant = 0x0002ffff;
    return shape;
}

ElfShape afterAnotherNote(std::uint64_t alignment)
{
    ElfShape shape;
    shape.otherNoteFirst = true;
    shape.alignment = alignment;
    return shape;
}

INSTANTIATE_TEST_SUITE_P(
    Elf, FileVersionStringShapes,
    testing::Values(
        ShapeCase{"little64_sections", shapeOf(true, false, true, false), ImageVersion},
        ShapeCase{"little64_segment", shapeOf(true, false, false, true), ImageVersion},
        ShapeCase{"big64_sections", shapeOf(true, true, true, false), ImageVersion},
        ShapeCase{"big64_segment", shapeOf(true, true, false, true), ImageVersion},
        ShapeCase{"little32_sections", shapeOf(false, false, true, false), ImageVersion},
        ShapeCase{"little32_segment", shapeOf(false, false, false, true), ImageVersion},
        ShapeCase{"big32_sections", shapeOf(false, true, true, false), ImageVersion},
        ShapeCase{"big32_segment", shapeOf(false, true, false, true), ImageVersion},
        ShapeCase{"no_sections_and_no_segment", shapeOf(true, false, false, false), ""},
        ShapeCase{"sixteen_bit_limits", highNumbers(), "65535.1.2.65535"},
        ShapeCase{"after_a_foreign_note", afterAnotherNote(4), ImageVersion},
        ShapeCase{"eight_byte_aligned_notes", afterAnotherNote(8), ImageVersion}),
    [](const testing::TestParamInfo<ShapeCase>& row) { return std::string(row.param.situation); });

// ---------------------------------------------------------------------------------------------

struct DamageCase {
    const char* situation;
    ElfShape shape;
    std::function<void(ElfImage&)> damage;
};

void PrintTo(const DamageCase& row, std::ostream* out) { *out << row.situation; }

class FileVersionStringDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(FileVersionStringDamage, GivesEmpty)
{
    ElfImage image = buildElf(GetParam().shape);
    ASSERT_EQ(VersionStringFromElfImage(image.bytes), ImageVersion) << "intact before the damage";
    GetParam().damage(image);
    EXPECT_EQ(VersionStringFromElfImage(image.bytes), "");
}

const ElfShape sectionsOnly = shapeOf(true, false, true, false);
const ElfShape segmentOnly = shapeOf(true, false, false, true);
const ElfShape sections32 = shapeOf(false, true, true, false);

INSTANTIATE_TEST_SUITE_P(
    Elf, FileVersionStringDamage,
    testing::Values(
        DamageCase{"broken_magic", ElfShape{}, [](ElfImage& e) { e.bytes[1] = 'e'; }},
        DamageCase{"unknown_class", ElfShape{}, [](ElfImage& e) { e.bytes[4] = 3; }},
        DamageCase{"unknown_byte_order", ElfShape{}, [](ElfImage& e) { e.bytes[5] = 0; }},
        DamageCase{"descriptor_too_short", ElfShape{}, [](ElfImage& e) { e.put(e.noteAt + 4, 4, 4); }},
        DamageCase{"descriptor_past_the_area", ElfShape{},
                   [](ElfImage& e) { e.put(e.noteAt + 4, 0xfffffff0, 4); }},
        DamageCase{"name_past_the_area", ElfShape{},
                   [](ElfImage& e) { e.put(e.noteAt, 0xffffffff, 4); }},
        DamageCase{"other_owner", ElfShape{}, [](ElfImage& e) { e.bytes[e.noteAt + 16] = 'b'; }},
        DamageCase{"other_type", ElfShape{}, [](ElfImage& e) { e.put(e.noteAt + 8, 2, 4); }},
        DamageCase{"section_offset_past_the_file", sectionsOnly,
                   [](ElfImage& e) { e.put(e.sectionHeaderAt + 24, 0xfffffffffffffff0, 8); }},
        DamageCase{"section_size_past_the_file", sectionsOnly,
                   [](ElfImage& e) { e.put(e.sectionHeaderAt + 32, 0x7fffffffffffffff, 8); }},
        DamageCase{"section_size_wraps_around", sections32,
                   [](ElfImage& e) { e.put(e.sectionHeaderAt + 20, 0xffffffff, 4); }},
        DamageCase{"section_table_past_the_file", sectionsOnly,
                   [](ElfImage& e) { e.put(40, e.bytes.size() - 8, 8); }},
        DamageCase{"section_entries_too_small", sectionsOnly, [](ElfImage& e) { e.put(58, 16, 2); }},
        DamageCase{"section_count_past_the_file", sectionsOnly,
                   [](ElfImage& e) { e.put(60, 0xffff, 2); }},
        DamageCase{"extended_section_count_forged", sectionsOnly,
                   [](ElfImage& e) {
                       e.put(60, 0, 2);
                       e.put(e.sectionHeaderAt - 64 + 32, 0xffffffffffffffff, 8);
                   }},
        DamageCase{"segment_offset_past_the_file", segmentOnly,
                   [](ElfImage& e) { e.put(e.programHeaderAt + 8, 0xffffffffffff, 8); }},
        DamageCase{"segment_size_past_the_file", segmentOnly,
                   [](ElfImage& e) { e.put(e.programHeaderAt + 32, 1u << 30, 8); }},
        DamageCase{"segment_table_past_the_file", segmentOnly,
                   [](ElfImage& e) { e.put(32, 0xffffffffffffff00, 8); }},
        DamageCase{"segment_count_past_the_file", segmentOnly, [](ElfImage& e) { e.put(56, 0xffff, 2); }},
        DamageCase{"header_cut_short", ElfShape{}, [](ElfImage& e) { e.bytes.resize(40); }},
        DamageCase{"cut_inside_the_descriptor", ElfShape{},
                   [](ElfImage& e) { e.bytes.resize(e.noteAt + 22); }}),
    [](const testing::TestParamInfo<DamageCase>& row) { return std::string(row.param.situation); });

// Four decimal numbers of at most 16 bits, joined by ".".
bool isFourNumbers(const std::string& text)
{
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(text.find('.', start), text.size());
        const std::string part = text.substr(start, end - start);
        if (part.empty() || part.size() > 5
            || part.find_first_not_of("0123456789") != std::string::npos || std::stoul(part) > 65535)
            return false;
        ++parts;
        if (end == text.size())
            return parts == 4;
        start = end + 1;
    }
}

// Random damage to small images: whatever the bytes, the reader stays inside them (run under
// the sanitizers to prove it) and answers empty or four numbers. TOVRA_SEED repeats a run.
TEST(FileVersionStringDamage, RandomDamageGivesEmptyOrFourNumbers)
{
    const char* seedText = std::getenv("TOVRA_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10))
                                   : std::random_device{}();
    SCOPED_TRACE("TOVRA_SEED=" + std::to_string(seed));
    tovra::SplitMix64 random(seed);

    const std::vector<ElfImage> originals = {
        buildElf(ElfShape{}), buildElf(shapeOf(false, true, true, true)), buildElf(afterAnotherNote(8))};
    int stillFound = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes = originals[round % originals.size()].bytes;
        const int changes = 1 + static_cast<int>(random.Next() % 4);
        for (int i = 0; i < changes; ++i)
            bytes[random.Next() % bytes.size()] = static_cast<unsigned char>(random.Next());
        if (random.Next() % 8 == 0)
            bytes.resize(random.Next() % bytes.size());
        const std::string version = VersionStringFromElfImage(bytes);
        ASSERT_TRUE(version.empty() || isFourNumbers(version))
            << "round " << round << ": " << version;
        stillFound += version == ImageVersion;
    }
    // Most single-byte damage misses the few bytes that matter.
    EXPECT_GT(stillFound, 1000);
}

} // namespace
} // namespace tovra
