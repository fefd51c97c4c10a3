// Arbitrary bytes as "record.dat": load them, run every conversion the Best 20 window and
// the end-of-game dialog make on the loaded table, enter a game, save, and load again.
#include "records/Cp1252.h"
#include "records/RecordFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

using namespace tovra;

// Durability costs milliseconds per run and decides nothing the fuzzer can observe.
class NoSyncFileSystem : public PosixFileSystem {
public:
    int Sync(int) override { return 0; }
    int SyncDirectory(const std::string&) override { return 0; }
};

void Check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// A plain buffer, not a std::string: the clean-up below runs at exit, after the
// destructors of function-local statics.
char workDir[4096];

const char* WorkDir()
{
    if (workDir[0] == '\0') {
        const std::string pattern = (std::filesystem::temp_directory_path() / "tovra-fuzz-XXXXXX").string();
        Check(pattern.size() < sizeof workDir, "temporary directory name too long");
        std::memcpy(workDir, pattern.c_str(), pattern.size() + 1);
        Check(mkdtemp(workDir) != nullptr, "cannot create a temporary directory");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(workDir, ignored);
        });
    }
    return workDir;
}

void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Check(fd >= 0, "cannot write the input file");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        Check(n > 0, "cannot write the input file");
        done += static_cast<std::size_t>(n);
    }
    close(fd);
}

// What the Best 20 window shows of each record.
void ShowTable(const BestTable& table)
{
    for (int rank = 1; rank <= RecordCount; ++rank) {
        const BestRecord& record = table.ByRank(rank);
        const std::string name = RecordName(record);
        const std::size_t length = record.NameLength < NameCapacity ? record.NameLength : NameCapacity;
        Check(Utf8ToCp1252(name) == std::string(record.NameChars.begin(), record.NameChars.begin() + length),
              "a stored name does not survive its conversion");

        const auto date = RecordDate(record);
        Check(date.has_value() == HoldsGame(record), "date and holds-game disagree");
        if (date) {
            Check(date->year >= 1899 && date->year <= 9999, "year out of range");
            Check(date->month >= 1 && date->month <= 12 && date->day >= 1 && date->day <= 31, "not a calendar day");
        }
        std::string scheme;
        for (int row = 1; row <= SchemeSize; ++row)
            for (int column = 1; column <= SchemeSize; ++column)
                scheme += std::to_string(record.SchemeAt(row, column));
        Check(!scheme.empty(), "empty scheme");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    NoSyncFileSystem files;
    const std::string path = std::string(WorkDir()) + "/record.dat";
    WriteInput(path, data, size);

    BestTable table;
    table.Records.fill(FreshRecord());
    int code = 0;
    try {
        LoadBestTable(table, path, files);
    } catch (const IoError& error) {
        code = error.Code();
        Check(!IoErrorBoxText(code).empty(), "empty error text");
    }
    Check(code == (size < TableSize ? IoCode::ReadBeyondEnd : 0), "unexpected load result");
    const auto image = EncodeTable(table);
    const std::size_t read = size < TableSize ? size : TableSize;
    Check(std::memcmp(image.data(), data, read) == 0, "the table is not the file's bytes");
    for (std::size_t i = read; i < TableSize; ++i)
        Check(image[i] == 0, "bytes past a short file are not zero");

    ShowTable(table);

    // The end-of-game dialog, with a score, a name (any bytes, even malformed UTF-8) and a
    // board taken from the input.
    const std::uint8_t score = size > 0 ? data[0] : 1;
    const std::string name(reinterpret_cast<const char*>(data), size < 40 ? size : 40);
    std::array<std::uint8_t, 100> scheme{};
    for (std::size_t i = 0; i < scheme.size() && i < size; ++i)
        scheme[i] = data[size - 1 - i];
    const int rank = InsertPosition(table, score);
    if (rank == 0) {
        Check(score < table.ByRank(RecordCount).Score, "a game that ranks was refused");
    } else {
        const BestTable before = table;
        InsertGame(table, rank, name, score, 39248.5, scheme);
        const BestRecord& entered = table.ByRank(rank);
        Check(entered.NameLength <= NameCapacity && entered.Score == score && entered.Date() == 39248.0 &&
                  entered.SchemeBytes == scheme,
              "the game was not entered as given");
        if (rank < RecordCount)
            Check(table.ByRank(rank + 1) == before.ByRank(rank), "the record below did not move down whole");
    }
    ShowTable(table);

    Check(SaveBestTable(table, path, files) == SaveOutcome::Saved, "save skipped");
    BestTable again;
    LoadBestTable(again, path, files);
    Check(again == table, "the saved table does not load back");
    return 0;
}
