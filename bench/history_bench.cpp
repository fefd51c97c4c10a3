// tovra_history_bench [--games=N] [--runs=R] [--seed=S] [--make=PATH]: a generated history of N
// games (default 10,000) in a fresh game database, then R times (default 10) the statistics
// window opened on it: the history read, the window built and shown, until its first paint has
// been processed. Prints "statistics_ms <ms> read_ms <ms> built_ms <ms>" per run: the whole,
// and the clock when the history had been read and when the window had been built. With --make, only writes the database.
#include "core/BoardTraversal.h"
#include "core/CellId.h"
#include "core/SplitMix64.h"
#include "core/Solver.h"
#include "gamestore/GameDatabaseSchema.h"
#include "ui/StatisticsWindow.h"
#include "ui/WindowLook.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// Random play; each second game prefers the target with the fewest onward moves, which
// reaches 100 now and then, as a practised player does.
std::vector<int> PlayOneGame(tovra::SplitMix64& random)
{
    std::array<bool, 100> used{};
    std::vector<int> cells = {static_cast<int>(random.Below(100))};
    used[static_cast<std::size_t>(cells[0])] = true;
    const bool careful = random.Below(2) == 0;
    const auto targets = [&](int from) {
        std::vector<int> free;
        tovra::ForEachTarget(tovra::CellIdOf(from), [&](const std::string& id) {
            const int cell = tovra::CellIndexOf(id);
            if (!used[static_cast<std::size_t>(cell)])
                free.push_back(cell);
        });
        return free;
    };
    for (;;) {
        std::vector<int> next = targets(cells.back());
        if (next.empty())
            return cells;
        random.Shuffle(next);
        int chosen = next.front();
        if (careful) {
            std::size_t fewest = 9;
            for (const int cell : next) {
                used[static_cast<std::size_t>(cell)] = true;
                const std::size_t onward = targets(cell).size();
                used[static_cast<std::size_t>(cell)] = false;
                if (onward < fewest) {
                    fewest = onward;
                    chosen = cell;
                }
            }
        }
        used[static_cast<std::size_t>(chosen)] = true;
        cells.push_back(chosen);
    }
}

bool MakeHistory(const std::string& path, int games, unsigned seed)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        return false;
    sqlite3_exec(db, tovra::GameDatabaseSchemaV1, nullptr, nullptr, nullptr);
    // The game's own open then takes it as it is, neither upgraded nor set aside.
    const std::string version = "PRAGMA user_version = " + std::to_string(tovra::GameDatabaseVersion);
    sqlite3_exec(db, version.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO games (state, started_at, ended_at, updated_at, played_ms, cells, score, outcome, "
                       "last_reachable, name) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                       -1, &insert, nullptr);
    tovra::SplitMix64 random(seed);
    double ended = 1765000000; // December 2025, one game every 40 minutes or so
    for (int i = 0; i < games; ++i) {
        const std::vector<int> cells = PlayOneGame(random);
        const int score = static_cast<int>(cells.size());
        const bool abandoned = random.Below(20) == 0;
        const std::vector<unsigned char> blob(cells.begin(), cells.end());
        const int played = 60000 + static_cast<int>(random.Below(600000));
        ended += 1200 + random.Below(3600);
        sqlite3_bind_text(insert, 1, abandoned ? "abandoned" : "finished", -1, SQLITE_STATIC);
        sqlite3_bind_double(insert, 2, ended - played / 1000.0);
        sqlite3_bind_double(insert, 3, ended);
        sqlite3_bind_double(insert, 4, ended);
        sqlite3_bind_int(insert, 5, played);
        sqlite3_bind_blob(insert, 6, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 7, score);
        if (abandoned)
            sqlite3_bind_null(insert, 8);
        else
            sqlite3_bind_text(insert, 8, score == 100 ? "complete" : "stuck", -1, SQLITE_STATIC);
        // Not solved here (that would take hours for this many games): a plausible number.
        sqlite3_bind_int(insert, 9, score == 100 ? 100 : std::max(1, score - 1 - static_cast<int>(random.Below(12))));
        sqlite3_bind_text(insert, 10, i % 3 ? "Player" : "Tovra", -1, SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Stops the clock when the window's first paint has been processed.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        }
        return false;
    }
    bool painted = false;
};

std::string Option(int argc, char** argv, const std::string& name, const std::string& fallback)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--" + name + "=", 0) == 0)
            return arg.substr(name.size() + 3);
    }
    return fallback;
}

} // namespace

int main(int argc, char* argv[])
{
    const int games = std::stoi(Option(argc, argv, "games", "10000"));
    const int runs = std::stoi(Option(argc, argv, "runs", "10"));
    const auto seed = static_cast<unsigned>(std::stoul(Option(argc, argv, "seed", "2026")));
    const std::string make = Option(argc, argv, "make", "");
    if (!make.empty())
        return MakeHistory(make, games, seed) ? 0 : 1;

    char dir[] = "/tmp/tovra-history-bench-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string path = std::string(dir) + "/games.db";
    if (!MakeHistory(path, games, seed)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    QApplication application(argc, argv);
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        QString problem;
        std::vector<tovra::HistoryGame> history = LoadHistory(path, problem);
        const double readMs = clock.nsecsElapsed() / 1e6;
        StatisticsWindow window(std::move(history), problem);
        const double builtMs = clock.nsecsElapsed() / 1e6;
        FirstPaint watch;
        window.installEventFilter(&watch);
        window.adjustSize();
        CentreOnScreen(&window);
        window.show();
        application.exec();
        std::printf("statistics_ms %.3f read_ms %.3f built_ms %.3f\n", clock.nsecsElapsed() / 1e6, readMs, builtMs);
        std::fflush(stdout);
    }
    unlink(path.c_str());
    rmdir(dir);
    return 0;
}
