// Two copies of the game, run by two users, on one "record.dat" in a file system in memory:
// the input picks what lies under the name at start-up, then a run of steps (games saved,
// refreshes, restarts, a system call that fails, the other copy saving in the middle of a
// save, someone removing the game's temporary files or cutting the file short). Checked
// after every run: the null device is never written, a name that is no file stays what it
// was, no game stands twice in the file, no descriptor is left open, and, where nothing
// failed and nobody meddled, no saved game is lost and no temporary file is left.
#include "MemoryFileSystem.h"

#include "records/Cp1252.h"
#include "records/RecordFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace {

using namespace tovra;
using fuzzing::MemoryFileSystem;

void Check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// A table is its file's bytes, without padding: one comparison of them is the comparison of
// the 20 records field by field, without the hundred calls when nothing changed.
bool SameTable(const BestTable& a, const BestTable& b)
{
    static_assert(sizeof(BestTable) == TableSize);
    return std::memcmp(&a, &b, sizeof(BestTable)) == 0;
}

// What the runs reached, printed at exit: script/fuzz fails a run that misses any of it.
struct Reached {
    unsigned long merges = 0, noLongerRanks = 0, skipped = 0, inPlace = 0, busy = 0, notAFile = 0,
                  temporaryRemoved = 0, cannotLock = 0, shortRead = 0, otherErrors = 0;
    std::array<unsigned long, MemoryFileSystem::CallCount> failed{};
} reached;

const char* const CallNames[] = {"OpenReadWrite", "OpenReadOnly", "CreateExclusive", "Read", "Write", "WriteAt",
                                 "Truncate", "Sync", "Close", "Status", "StatusOf", "SetPermissions", "SetOwner",
                                 "TryLock", "Rename", "Unlink", "Link", "SyncDirectory", "ReadLink", "ListDirectory"};

void PrintReached()
{
    std::printf("reached: merge %lu, no-longer-ranks %lu, skipped %lu, in-place %lu, busy %lu, not-a-file %lu, "
                "temporary-removed %lu, cannot-lock %lu, short-read %lu, other-errors %lu\n",
                reached.merges, reached.noLongerRanks, reached.skipped, reached.inPlace, reached.busy, reached.notAFile,
                reached.temporaryRemoved, reached.cannotLock, reached.shortRead, reached.otherErrors);
    std::printf("injected faults reached:");
    for (std::size_t call = 0; call < reached.failed.size(); ++call)
        std::printf(" %s %lu%s", CallNames[call], reached.failed[call], call + 1 < reached.failed.size() ? "," : "\n");
}

// What the Best 20 window shows of each record.
void ShowTable(const BestTable& table)
{
    for (const BestRecord& record : table.Records) {
        const std::size_t length = record.NameLength < NameCapacity ? record.NameLength : NameCapacity;
        const std::string_view stored(reinterpret_cast<const char*>(record.NameChars.data()), length);
        Check(Utf8ToCp1252(RecordName(record)) == stored, "a stored name does not survive its conversion");
        const auto date = RecordDate(record);
        Check(date.has_value() == HoldsGame(record), "date and holds-game disagree");
        if (date)
            Check(date->month >= 1 && date->month <= 12 && date->day >= 1 && date->day <= 31, "not a calendar day");
    }
}

void Classify(const IoError& error)
{
    const std::string_view text = error.what(); // the box text without the system's words
    if (text.find("right now") != text.npos)
        ++reached.busy;
    else if (text.find("not a file") != text.npos)
        ++reached.notAFile;
    else if (text.find("temporary file") != text.npos)
        ++reached.temporaryRemoved;
    else if (text.find("cannot be locked") != text.npos)
        ++reached.cannotLock;
    else if (error.Code() == IoCode::ReadBeyondEnd)
        ++reached.shortRead;
    else
        ++reached.otherErrors;
}

constexpr const char* Path = "/d/record.dat";

// TOVRA_FUZZ_TRACE=1 with a crashing input tells its story on stderr. Each line is put
// together only then: names and texts for every run would cost a good part of the run.
const bool tracing = std::getenv("TOVRA_FUZZ_TRACE") != nullptr;
constexpr int ErrorChoices[] = {0, EIO, ENOSPC, EACCES, EPERM, EMFILE, ENOLCK, EROFS};

// One copy of the game: its user, its record file, its table.
struct Copy {
    Copy(MemoryFileSystem& files, uid_t user) : files(files), user(user), file(Path, files)
    {
        file.SetWaiting([&files] { files.Wait(700); }); // the window's events take their time
    }
    MemoryFileSystem& files;
    uid_t user;
    RecordFile file;
    BestTable table;
};

class Run {
public:
    explicit Run(MemoryFileSystem& files) : files_(files), copies_{Copy(files, 1000), Copy(files, 1001)} {}

    // Runs every conversion of the Best 20 window on each table loaded.
    bool showing = false;
    // Where the table is stored: record.dat, or the file a link there names.
    std::string stored = "record.dat";

    // Runs `action` as copy `which`'s user, and back.
    template <class Action>
    void As(int which, Action action)
    {
        const uid_t before = files_.user;
        const int wasActive = active_;
        files_.user = copies_[which].user;
        active_ = which;
        action(copies_[which]);
        files_.user = before;
        active_ = wasActive;
    }

    // The copy that is not making the current call saves a game in the middle of it.
    void OtherFinishes(std::uint8_t score) { Finish(1 - active_, score); }

    void Load(int which)
    {
        As(which, [&](Copy& copy) {
            try {
                copy.file.Load(copy.table);
            } catch (const IoError& error) {
                Classify(error);
            }
            if (showing)
                ShowTable(copy.table);
        });
    }

    void Finish(int which, std::uint8_t score)
    {
        As(which, [&](Copy& copy) {
            const int rank = InsertPosition(copy.table, score);
            if (rank == 0)
                return;
            BestRecord game;
            SetRecordName(game, "G" + std::to_string(++games_));
            game.Score = score;
            game.SetDate(45000.0 + games_);
            game.SetSchemeAt(1, 1, 1);
            InsertRecord(copy.table, rank, game);
            created_.push_back(game);
            const BestTable expected = copy.table;
            if (tracing)
                std::fprintf(stderr, "copy %d saves %s (%d) at rank %d\n", which, RecordName(game).c_str(), score,
                             rank);
            try {
                const SaveOutcome outcome = copy.file.Save(copy.table, game);
                if (tracing)
                    std::fprintf(stderr, "copy %d: %s outcome %d\n", which, RecordName(game).c_str(),
                                 static_cast<int>(outcome));
                switch (outcome) {
                case SaveOutcome::Saved:
                    saved_.push_back(game);
                    reached.merges += !SameTable(copy.table, expected);
                    break;
                case SaveOutcome::Skipped: ++reached.skipped; break;
                case SaveOutcome::NoLongerRanks: ++reached.noLongerRanks; break;
                }
            } catch (const IoError& error) {
                if (tracing)
                    std::fprintf(stderr, "copy %d: %s %s\n", which, RecordName(game).c_str(), error.BoxText().c_str());
                Classify(error);
            }
        });
    }

    void Refresh(int which)
    {
        As(which, [&](Copy& copy) { copy.file.Refresh(copy.table); });
    }

    // Every game that a save reported saved is in the file, or 20 better or equal games are.
    void CheckNothingLost() const
    {
        const auto* bytes = files_.BytesAt(stored);
        Check(saved_.empty() || (bytes && bytes->size() == TableSize), "saved games, but no whole file");
        if (saved_.empty())
            return;
        const BestTable table = DecodeTable(std::span<const std::uint8_t, TableSize>(bytes->data(), TableSize));
        for (int rank = 1; tracing && rank <= RecordCount; ++rank)
            std::fprintf(stderr, "file %d: %s %d\n", rank, RecordName(table.ByRank(rank)).c_str(),
                         table.ByRank(rank).Score);
        for (const BestRecord& game : saved_) {
            const bool there = std::find(table.Records.begin(), table.Records.end(), game) != table.Records.end();
            Check(there || table.ByRank(RecordCount).Score >= game.Score, "a saved game was lost");
        }
    }

    // However saves went, none of this run's games stands twice in the file.
    void CheckNoGameTwice() const
    {
        const auto* bytes = files_.BytesAt(stored);
        if (created_.empty() || !bytes || bytes->size() != TableSize)
            return;
        const BestTable table = DecodeTable(std::span<const std::uint8_t, TableSize>(bytes->data(), TableSize));
        for (const BestRecord& game : created_)
            Check(std::count(table.Records.begin(), table.Records.end(), game) <= 1, "a game stands twice in the file");
    }

private:
    MemoryFileSystem& files_;
    std::array<Copy, 2> copies_;
    std::vector<BestRecord> created_;
    std::vector<BestRecord> saved_;
    int games_ = 0;
    int active_ = 0;
};

// A whole table whose scores are the given bytes (each at most 100), in order: a full file
// from a few bytes of input.
std::vector<std::uint8_t> TableOfScores(std::span<const std::uint8_t> scores)
{
    // The records but their scores are the same in every run: made once.
    static const BestTable fresh = FreshTable();
    static const BestTable named = [] {
        BestTable table = FreshTable();
        for (std::size_t i = 0; i < table.Records.size(); ++i) {
            SetRecordName(table.Records[i], "S" + std::to_string(i));
            table.Records[i].SetDate(40000.0 + static_cast<double>(i));
        }
        return table;
    }();
    BestTable table = fresh;
    for (std::size_t i = 0; i < scores.size() && i < table.Records.size(); ++i) {
        table.Records[i] = named.Records[i];
        table.Records[i].Score = static_cast<std::uint8_t>(scores[i] % 101);
    }
    const auto image = EncodeTable(table);
    return std::vector<std::uint8_t>(image.begin(), image.end());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::atexit(PrintReached);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint8_t start = data[0] % 10;
    // A few steps each: short runs make many runs a second, and every path is a few steps deep.
    const std::size_t steps = std::min<std::size_t>(data[1] % 9, size - 2) / 2 * 2;
    const std::uint8_t* step = data + 2;
    const std::span<const std::uint8_t> content(data + 2 + steps, data + size);
    // The file a start puts there, when it is one.
    std::vector<std::uint8_t> startFile;
    if (start == 1)
        startFile.assign(content.begin(), content.end()); // any bytes at all
    else if (start == 2 || start == 6 || start == 7)
        startFile = TableOfScores(content);

    MemoryFileSystem files;
    switch (start) {
    case 0: break; // no file yet
    case 1:
    case 2: files.PutFile("record.dat", startFile); break;
    case 3: files.PutNode("record.dat", FileKind::Fifo); break;
    case 4: files.PutLink("record.dat", "/dev/null"); break;
    case 5: files.PutNode("record.dat", FileKind::Directory); break;
    case 6: files.PutFile("record.dat", startFile, 0444); break;
    case 7:
        files.PutFile("record.dat", startFile);
        files.SetFolderWritable(false);
        break;
    case 8: files.PutLink("record.dat", "scores.dat"); break;
    case 9: files.PutNode("record.dat", FileKind::Socket); break;
    }
    const FileKind startKind = files.KindAt("record.dat");

    Run run(files);
    if (start == 8)
        run.stored = "scores.dat";
    run.showing = start == 1;
    run.Load(0);
    run.showing = false; // once is enough: the other copy loads the same bytes
    run.Load(1);
    if ((start == 1 && content.size() >= TableSize) || start == 2) {
        const auto* bytes = files.BytesAt("record.dat");
        Check(bytes && *bytes == startFile, "start-up changed an existing file");
    }

    bool meddled = start == 7; // the folder refuses the game's steps
    for (std::size_t i = 0; i < steps; i += 2) {
        const std::uint8_t op = step[i];
        const std::uint8_t arg = step[i + 1];
        const int which = (op >> 3) & 1;
        switch (op % 8) {
        case 0: run.Finish(which, static_cast<std::uint8_t>(arg % 101)); break;
        case 1: run.Refresh(which); break;
        case 2:
            files.failAt = files.CallsMade() + arg % 40 + 1;
            files.failError = ErrorChoices[(op >> 3) % 8];
            meddled = true;
            break;
        case 3: // the other copy saves in the middle of whatever comes next
            files.interruptAt = files.CallsMade() + arg % 48 + 1;
            files.interrupt = [&run, arg] { run.OtherFinishes(static_cast<std::uint8_t>(arg % 101)); };
            break;
        case 4: // someone clears the folder of the game's temporary files at some moment
            files.interruptAt = files.CallsMade() + arg % 48 + 1;
            files.interrupt = [&files] { files.RemoveNamesStartingWith(".record.dat."); };
            meddled = true;
            break;
        case 5: // someone removes the file, or cuts it short
            if (files.KindAt("record.dat") != FileKind::Regular) {
                break;
            } else if (arg < 16) {
                files.Remove("record.dat");
                meddled = true;
            } else if (const auto* bytes = files.BytesAt("record.dat")) {
                std::vector<std::uint8_t> cut = *bytes;
                cut.resize(std::min<std::size_t>(cut.size(), arg * 12u));
                files.PutFile("record.dat", cut);
                meddled = true;
            }
            break;
        case 6: run.Load(which); break;
        case 7: files.Wait(arg * 100); break;
        }
    }

    for (std::size_t call = 0; call < files.failed.size(); ++call)
        reached.failed[call] += files.failed[call];
    reached.inPlace += files.inPlaceWrites > 0;
    Check(!files.NullDeviceWritten(), "the null device was written");
    Check(files.OpenDescriptors() == 0, "a descriptor was left open");
    if (startKind != FileKind::Regular && startKind != FileKind::Other)
        Check(files.KindAt("record.dat") == startKind, "a name that is no file was replaced");
    if (start != 1) // bytes from the input may hold any record, ours included, twice or more
        run.CheckNoGameTwice();
    if (!meddled && (start == 0 || start == 1 || start == 2 || start == 8)) {
        if (start != 1 || content.size() >= TableSize)
            run.CheckNothingLost();
        Check(!files.HasNameStartingWith(".record.dat."), "a temporary file was left behind");
    }
    return 0;
}
