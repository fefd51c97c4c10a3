// The core's placement, hint, end-of-game and undo routines on the in-memory board. Each
// result line is "<benchmark> <nanoseconds per operation>", one per repetition.
#include "core/BoardCell.h"
#include "core/BoardTraversal.h"
#include "core/CellId.h"
#include "core/Game.h"
#include "core/InMemoryBoard.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

using namespace tovra;

namespace {

// A full board as (row, column) pairs, 1-based, found by Warnsdorff's rule: always move to the
// free target with the fewest free targets of its own. Starts and tie-breaks are tried until one
// walk covers the board.
std::vector<std::string> FullTour()
{
    using Used = std::array<bool, CellCount>;
    const auto freeTargets = [](const Used& used, int cell) {
        int count = 0;
        for (const int target : Moves.target[cell])
            count += target != NoCell && !used[static_cast<std::size_t>(target)] ? 1 : 0;
        return count;
    };
    for (int tieBreak = 0; tieBreak < 8; ++tieBreak) {
        for (int start = 0; start < CellCount; ++start) {
            Used used{};
            int cell = start;
            std::vector<std::string> tour{CellIdOf(cell)};
            used[static_cast<std::size_t>(cell)] = true;
            while (true) {
                int best = NoCell;
                int bestDegree = 99;
                for (int i = 0; i < 8; ++i) {
                    const int target = Moves.target[cell][(i + tieBreak) % 8];
                    if (target == NoCell || used[static_cast<std::size_t>(target)])
                        continue;
                    const int degree = freeTargets(used, target);
                    if (degree < bestDegree) {
                        bestDegree = degree;
                        best = target;
                    }
                }
                if (best == NoCell)
                    break;
                cell = best;
                used[static_cast<std::size_t>(cell)] = true;
                tour.push_back(CellIdOf(cell));
            }
            if (tour.size() == static_cast<std::size_t>(CellCount))
                return tour;
        }
    }
    throw std::runtime_error("no full tour found");
}

const std::vector<std::string>& Tour()
{
    static const std::vector<std::string> tour = FullTour();
    return tour;
}

struct Position {
    GameState game;
    InMemoryBoard board;
};

// The tour's first `numbers` cells clicked on a fresh board.
Position Played(int numbers)
{
    Position position;
    StartupReset(position.game, position.board);
    for (int i = 0; i < numbers; ++i)
        btClick(position.game, position.board, position.board.FindCell(Tour()[static_cast<std::size_t>(i)]));
    if (position.game.MoveCount != numbers)
        throw std::logic_error("the tour is not a legal game");
    return position;
}

void BM_btClick(benchmark::State& state)
{
    const Position start = Played(0);
    InMemoryBoard lookup;
    std::vector<Cell> cells;
    for (const std::string& id : Tour())
        cells.push_back(lookup.FindCell(id));
    for (auto _ : state) {
        state.PauseTiming();
        Position position = start;
        state.ResumeTiming();
        for (const Cell cell : cells)
            btClick(position.game, position.board, cell);
        state.PauseTiming();
        if (position.game.MoveCount != CellCount)
            state.SkipWithError("the tour did not fill the board");
        state.ResumeTiming();
    }
    state.counters["ops"] = CellCount;
}

void BM_BtnMosseClick(benchmark::State& state)
{
    Position position = Played(50);
    for (auto _ : state)
        BtnMosseClick(position.game, position.board);
    state.counters["ops"] = 1;
}

void BM_NoMovesLeft(benchmark::State& state)
{
    Position position = Played(static_cast<int>(state.range(0)));
    bool over = false;
    for (auto _ : state) {
        over = NoMovesLeft(position.game, position.board);
        benchmark::DoNotOptimize(over);
    }
    if (over != (state.range(0) == CellCount))
        state.SkipWithError("unexpected end-of-game answer");
    state.counters["ops"] = 1;
}

// Undo->marked from number 60 back to the marked number 10: 50 numbers taken back, each with
// its pause recorded by the in-memory board instead of slept.
void BM_BtnUndoMarcatoClick(benchmark::State& state)
{
    Position start = Played(60);
    btMouseDown(start.game, start.board, start.board.FindCell(Tour()[9]), MouseButton::Right);
    for (auto _ : state) {
        state.PauseTiming();
        Position position = start;
        state.ResumeTiming();
        BtnUndoMarcatoClick(position.game, position.board);
        state.PauseTiming();
        if (position.game.MoveCount != 10 || position.board.pauses.size() != 50)
            state.SkipWithError("the undo did not stop at the marked number");
        state.ResumeTiming();
    }
    state.counters["ops"] = 1;
}

BENCHMARK(BM_btClick)->Name("btClick (per click, full tour)")->Unit(benchmark::kNanosecond);
BENCHMARK(BM_BtnMosseClick)->Name("BtnMosseClick (at 50)")->Unit(benchmark::kNanosecond);
BENCHMARK(BM_NoMovesLeft)->Name("NoMovesLeft (at 50)")->Arg(50)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_NoMovesLeft)->Name("NoMovesLeft (at 100)")->Arg(100)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_BtnUndoMarcatoClick)->Name("BtnUndoMarcatoClick (50 numbers)")->Unit(benchmark::kNanosecond);

class PerOperationReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate)
                continue;
            const std::string name = run.run_name.function_name;
            if (run.error_occurred) {
                std::printf("%s\terror: %s\n", name.c_str(), run.error_message.c_str());
                continue;
            }
            const auto ops = run.counters.find("ops");
            const double perRun = ops == run.counters.end() ? 1.0 : ops->second.value;
            std::printf("%s\t%.1f\n", name.c_str(), run.GetAdjustedRealTime() / perRun);
        }
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    PerOperationReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
