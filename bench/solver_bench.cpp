// The completion solver on a reproducible set of positions, about a million of them from
// random-like play, plus the games of a careful player, positions found by climbing toward
// more search nodes, and thirteen known slow positions. Prints script/bench's solver tables
// (markdown). Options:
//   --seed=N        the set's seed (printed)
//   --scale=X       the random-like sets' size as a fraction of the full one (1)
//   --save=FILE     writes the generated set to FILE; --load=FILE reads it instead of generating
//   --repeats=N     runs per position of the small tables (3); the large sets run once, and
//                   N times in all where the first run took over 1 ms
//   --verbose       lists the slowest positions
#include "core/BoardTraversal.h"
#include "core/SplitMix64.h"
#include "core/Solver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include <time.h>

using namespace tovra;

namespace {

// --- The move rule, apart from the solver's tables ---------------------------------------------

bool IsMove(int from, int to)
{
    const int rows = std::abs(from / 10 - to / 10);
    const int columns = std::abs(from % 10 - to % 10);
    return (rows == 3 && columns == 0) || (rows == 0 && columns == 3) || (rows == 2 && columns == 2);
}

std::vector<int> FreeTargets(const std::bitset<100>& used, int from)
{
    std::vector<int> targets;
    for (int to = 0; to < 100; ++to)
        if (!used.test(static_cast<std::size_t>(to)) && IsMove(from, to))
            targets.push_back(to);
    return targets;
}

bool Completes(const SolverPosition& position, const std::vector<int>& completion)
{
    std::bitset<100> filled = position.numbered;
    int previous = position.lastCell;
    for (const int cell : completion) {
        if (cell < 0 || cell > 99 || filled.test(static_cast<std::size_t>(cell)) || (previous != NoCell && !IsMove(previous, cell)))
            return false;
        filled.set(static_cast<std::size_t>(cell));
        previous = cell;
    }
    return filled.all();
}

// Plain depth-first search over next numbers, pruned only where a free cell that cannot be the
// next number has no free neighbour, or two have one each: 1 some completion, 0 none, -1 the
// budget ran out.
int ExhaustiveSearch(std::bitset<100>& filled, int from, long long& budget)
{
    if (filled.all())
        return 1;
    if (--budget < 0)
        return -1;
    int deadEnds = 0;
    for (int cell = 0; cell < 100; ++cell) {
        if (filled.test(static_cast<std::size_t>(cell)) || IsMove(from, cell))
            continue;
        const std::size_t free = FreeTargets(filled, cell).size();
        if ((free == 0 && filled.count() < 99) || (free == 1 && ++deadEnds > 1))
            return 0;
    }
    for (const int next : FreeTargets(filled, from)) {
        filled.set(static_cast<std::size_t>(next));
        const int found = ExhaustiveSearch(filled, next, budget);
        filled.reset(static_cast<std::size_t>(next));
        if (found != 0)
            return found;
    }
    return 0;
}

// --- Positions ---------------------------------------------------------------------------------

struct Sample {
    int set = 0;
    std::vector<int> cells; // the game: the position is after all of them
    double ms = 0;
    std::uint64_t nodes = 0;
    Reachability answer = Reachability::Unknown;
};

SolverPosition PositionOf(const std::vector<int>& cells) { return PositionAfter(cells, static_cast<int>(cells.size())); }

// The positions of the game as ten rows of ten: "x" a number, "@" the last one, "." free.
std::string Board(const std::vector<int>& cells)
{
    std::string text(100, '.');
    for (const int cell : cells)
        text[static_cast<std::size_t>(cell)] = 'x';
    if (!cells.empty())
        text[static_cast<std::size_t>(cells.back())] = '@';
    return text;
}

std::vector<int> GameOf(const std::string& board)
{
    std::vector<int> cells;
    int last = NoCell;
    for (int cell = 0; cell < 100 && cell < static_cast<int>(board.size()); ++cell) {
        if (board[static_cast<std::size_t>(cell)] == 'x')
            cells.push_back(cell);
        else if (board[static_cast<std::size_t>(cell)] == '@')
            last = cell;
    }
    if (last != NoCell)
        cells.push_back(last);
    return cells; // only the set of cells and the last one count
}

// Slow positions of earlier versions of the solver, from random-like play.
const char* const SlowPositions[] = {
    "x..xx..x..x..........xx..x....x.x...xx.@x..x.......xx.xxx.xxx..x......xx.xx.x....x..................",
    ".......x...x..x@.x..x.xx...x.x.......x...xx.xx.x....x..x.x....xx....................xx.x............",
    "x.x....x..............x.@xx..xxxx.x..x.....xx.....x.xx..x....xx.xx..x...........x.xx..x.............",
    "......x..x..............x.x..x.........xx..x..x.......x.xx.xxx..x....@x.xxx.xx....x.......x.x......x",
    "....xx..x...x..x..x.......xx.....xx.x.xx....x...x..x.....xx.......x.xx...@x.xx..........x.........xx",
    "..x..x......x..x...........x..x..x.xx.....x..x@..x..xxx..xx.xx..x.....xxxxxxx..x..x..x..x.xx.xx..x..",
    "......@.......x........xx.x......xxx.x.....xxxx......xxxxx.....xxxx........x........................",
    ".....xx..x...@x........x...xx..xx...x..x..........xx.xx..xx....x..x........x....xx..x...x....x......",
    "......x...............x.@...x...........xx..........xxxxx.xx...x.xx...xx.x...x....x.xx.xx......x....",
    ".x....................xx.x.@....x.xxxx.....xxxx.......xxxx.....xxxxx......xx.....................x..",
    // Over 50 ms in a run of the set on seed 7, before the search's budgets doubled.
    "...x..x..x...........x.xxxxxxx......x..x...x.xx..xxx.xx..xxx..@x..xx....x...x..x.x..x...xx....x.....",
    "....................x..x..x.......xxxx....@xxxx......xxxxx....xxxxxx......x..x..x...................",
    ".....x@x.x.......x..xx.x.x.........x.x.x.xxx...x..xx..x..x.....xx..x....x.................x..x......",
};

enum Set { Uniform, Undos, AntiGreedy, OneLosing, Fewest, Climbed, Empty, SetCount };
const char* const SetNames[SetCount] = {
    "Uniform random play: k uniform in 1..99 random numbers (a game stuck before k taken where it stuck)",
    "Random play with undos: 1..150 actions, each a random number or (one in five) taking back 1..3",
    "Anti-greedy play: k uniform in 1..99 numbers, each the target with the most onward moves",
    "One losing move: random numbers that keep 100 reachable, then one that loses it",
    "Every position of 200 games by a \"fewest onward moves\" player",
    "Climbed: random games changed one number at a time toward more search nodes",
    "The empty board",
};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    int Pick(int low, int high) { return random_.Between(low, high); }

    // Up to `numbers` numbers from a random first cell; `choose` picks among the free targets.
    std::vector<int> Play(int numbers, const std::function<int(const std::bitset<100>&, const std::vector<int>&)>& choose)
    {
        std::bitset<100> used;
        std::vector<int> cells{Pick(0, 99)};
        used.set(static_cast<std::size_t>(cells.back()));
        while (static_cast<int>(cells.size()) < numbers) {
            const std::vector<int> targets = FreeTargets(used, cells.back());
            if (targets.empty())
                break;
            cells.push_back(choose(used, targets));
            used.set(static_cast<std::size_t>(cells.back()));
        }
        return cells;
    }

    int AnyOf(const std::vector<int>& targets) { return targets[static_cast<std::size_t>(Pick(0, static_cast<int>(targets.size()) - 1))]; }

    // The target with the fewest (or most) free targets of its own, ties at random.
    int ByOnward(const std::bitset<100>& used, const std::vector<int>& targets, bool most)
    {
        int best = -1;
        int bestOnward = 0;
        int ties = 0;
        for (const int target : targets) {
            std::bitset<100> after = used;
            after.set(static_cast<std::size_t>(target));
            const int onward = static_cast<int>(FreeTargets(after, target).size()) * (most ? -1 : 1);
            if (best < 0 || onward < bestOnward) {
                best = target;
                bestOnward = onward;
                ties = 1;
            } else if (onward == bestOnward && Pick(0, ties++) == 0) {
                best = target;
            }
        }
        return best;
    }

    std::vector<int> UniformGame() { return Play(Pick(1, 99), [&](auto&, const auto& t) { return AnyOf(t); }); }
    std::vector<int> AntiGreedyGame() { return Play(Pick(1, 99), [&](auto& u, const auto& t) { return ByOnward(u, t, true); }); }
    std::vector<int> FewestGame() { return Play(100, [&](auto& u, const auto& t) { return ByOnward(u, t, false); }); }

    std::vector<int> GameWithUndos()
    {
        std::bitset<100> used;
        std::vector<int> cells{Pick(0, 99)};
        used.set(static_cast<std::size_t>(cells.back()));
        for (int action = Pick(1, 150); action > 0; --action) {
            const std::vector<int> targets = FreeTargets(used, cells.back());
            if ((targets.empty() || Pick(0, 4) == 0) && cells.size() > 1) {
                for (int back = Pick(1, 3); back > 0 && cells.size() > 1; --back) {
                    used.reset(static_cast<std::size_t>(cells.back()));
                    cells.pop_back();
                }
            } else if (!targets.empty()) {
                cells.push_back(AnyOf(targets));
                used.set(static_cast<std::size_t>(cells.back()));
            }
        }
        return cells;
    }

    // A game of random numbers that keep 100 reachable: every number tried on the way that
    // loses it gives one position (the game up to that number). Each try is an exact answer, so
    // the set depends on the seed alone.
    void LosingMoves(std::size_t wanted, const std::function<void(std::vector<int>)>& add)
    {
        std::bitset<100> used;
        std::vector<int> cells{Pick(0, 99)};
        used.set(static_cast<std::size_t>(cells.back()));
        const int stopAt = Pick(2, 99);
        std::size_t found = 0;
        while (static_cast<int>(cells.size()) < stopAt && found < wanted) {
            std::vector<int> targets = FreeTargets(used, cells.back());
            random_.Shuffle(targets);
            bool moved = false;
            for (const int target : targets) {
                cells.push_back(target);
                if (SolveCompletion(PositionOf(cells)).answer == Reachability::Reachable) {
                    used.set(static_cast<std::size_t>(target));
                    moved = true;
                    break;
                }
                add(cells);
                ++found;
                cells.pop_back();
            }
            if (!moved)
                break;
        }
    }

private:
    SplitMix64 random_;
};

// --- Timing ------------------------------------------------------------------------------------

// CPU time of this thread: on a machine shared with other work, wall-clock time mostly measures
// how long the scheduler kept the solver waiting.
double ThreadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double>& sorted, double p)
{
    if (sorted.empty())
        return 0;
    const std::size_t index = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

struct Checks {
    int badCompletions = 0;
    int unreachableChecked = 0;
    int unreachableWrong = 0;
};

// Solves the position `repeats` times; its time is the median.
void Measure(Sample& sample, int repeats, Checks& checks)
{
    const SolverPosition position = PositionOf(sample.cells);
    std::vector<double> times;
    for (int r = 0; r < repeats; ++r) {
        const double start = ThreadMilliseconds();
        const SolverAnswer answer = SolveCompletion(position);
        times.push_back(ThreadMilliseconds() - start);
        sample.nodes = answer.nodes;
        sample.answer = answer.answer;
        if (r == 0 && answer.answer == Reachability::Reachable && !Completes(position, answer.completion))
            ++checks.badCompletions;
    }
    std::sort(times.begin(), times.end());
    sample.ms = times[times.size() / 2];
    // Few free cells: "unreachable" is checked by the plain search.
    if (sample.answer == Reachability::Unreachable && 100 - position.numbered.count() <= 28) {
        std::bitset<100> filled = position.numbered;
        long long budget = 2'000'000;
        const int found = ExhaustiveSearch(filled, position.lastCell, budget);
        if (found >= 0) {
            ++checks.unreachableChecked;
            checks.unreachableWrong += found;
        }
    }
}

double SolveMilliseconds(const SolverPosition& position)
{
    const double start = ThreadMilliseconds();
    SolveCompletion(position);
    return ThreadMilliseconds() - start;
}

// Runs the positions again, `repeats - 1` more times each, in passes over all of them so that
// one busy moment of the machine does not fall on every run of one position; each time becomes
// the median of its runs.
void Retime(const std::vector<Sample*>& samples, int repeats)
{
    std::vector<std::vector<double>> times;
    for (const Sample* sample : samples)
        times.push_back({sample->ms});
    for (int pass = 1; pass < repeats; ++pass)
        for (std::size_t i = 0; i < samples.size(); ++i)
            times[i].push_back(SolveMilliseconds(PositionOf(samples[i]->cells)));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::sort(times[i].begin(), times[i].end());
        samples[i]->ms = times[i][times[i].size() / 2];
    }
}

const char* AnswerText(Reachability answer)
{
    return answer == Reachability::Reachable ? "reachable" : answer == Reachability::Unreachable ? "unreachable" : "unknown";
}

bool Save(const std::string& path, const std::vector<Sample>& samples)
{
    std::ofstream out(path);
    for (const Sample& sample : samples)
        out << sample.set << ' ' << Board(sample.cells) << '\n';
    return static_cast<bool>(out);
}

bool Load(const std::string& path, std::vector<Sample>& samples)
{
    std::ifstream in(path);
    int set = 0;
    std::string board;
    while (in >> set >> board)
        if (set >= 0 && set < SetCount && board.size() == 100)
            samples.push_back({set, GameOf(board)});
    return !samples.empty();
}

} // namespace

int main(int argc, char** argv)
{
    unsigned seed = 20261208;
    double scale = 1;
    int repeats = 3;
    bool verbose = false;
    std::string savePath;
    std::string loadPath;
    for (int i = 1; i < argc; ++i) {
        if (!std::strncmp(argv[i], "--seed=", 7))
            seed = static_cast<unsigned>(std::strtoul(argv[i] + 7, nullptr, 10));
        else if (!std::strncmp(argv[i], "--scale=", 8))
            scale = std::max(0.0, std::atof(argv[i] + 8));
        else if (!std::strncmp(argv[i], "--repeats=", 10))
            repeats = std::max(1, std::atoi(argv[i] + 10));
        else if (!std::strncmp(argv[i], "--save=", 7))
            savePath = argv[i] + 7;
        else if (!std::strncmp(argv[i], "--load=", 7))
            loadPath = argv[i] + 7;
        else if (!std::strcmp(argv[i], "--verbose"))
            verbose = true;
        else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }

    std::vector<Sample> samples;
    const double generateStart = ThreadMilliseconds();
    if (!loadPath.empty()) {
        if (!Load(loadPath, samples)) {
            std::fprintf(stderr, "no positions in %s\n", loadPath.c_str());
            return 2;
        }
    } else {
        Generator generator(seed);
        // Distinct positions only: the same cells with the same last one are one position.
        std::unordered_set<std::string> seen;
        const auto add = [&](int set, std::vector<int> cells) {
            if (seen.insert(Board(cells)).second)
                samples.push_back({set, std::move(cells)});
        };
        const auto count = [&](int full) { return static_cast<std::size_t>(full * scale); };
        const auto fill = [&](int set, std::size_t wanted, const std::function<std::vector<int>()>& game) {
            const std::size_t start = samples.size();
            for (std::size_t tries = 0; samples.size() - start < wanted && tries < 20 * wanted; ++tries)
                add(set, game());
        };
        fill(Uniform, count(300'000), [&] { return generator.UniformGame(); });
        fill(Undos, count(250'000), [&] { return generator.GameWithUndos(); });
        fill(AntiGreedy, count(250'000), [&] { return generator.AntiGreedyGame(); });
        for (std::size_t start = samples.size(), wanted = count(200'000); samples.size() - start < wanted;)
            generator.LosingMoves(wanted - (samples.size() - start), [&](std::vector<int> cells) { add(OneLosing, std::move(cells)); });
        for (int game = 0; game < 200; ++game) {
            const std::vector<int> cells = generator.FewestGame();
            for (std::size_t length = 1; length <= cells.size(); ++length)
                add(Fewest, std::vector<int>(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(length)));
        }
        // Climbing: a random game of 20..50 numbers; a change keeps the first i numbers and plays
        // on at random to about the same length, and stays when the solve takes at least as many
        // nodes. Each climb's best position joins the set.
        SolverLimits capped;
        capped.maxNodes = 3'000'000;
        for (int climb = 0; climb < static_cast<int>(40 * std::min(scale, 1.0) + 0.5); ++climb) {
            std::vector<int> best = generator.Play(generator.Pick(20, 50), [&](auto&, const auto& t) { return generator.AnyOf(t); });
            std::uint64_t bestNodes = SolveCompletion(PositionOf(best), capped).nodes;
            for (int step = 0; step < 150; ++step) {
                std::vector<int> cells(best.begin(), best.begin() + generator.Pick(1, static_cast<int>(best.size()) - 1));
                std::bitset<100> used;
                for (const int cell : cells)
                    used.set(static_cast<std::size_t>(cell));
                const std::size_t length = static_cast<std::size_t>(std::clamp(static_cast<int>(best.size()) + generator.Pick(-2, 2), 2, 99));
                while (cells.size() < length) {
                    const std::vector<int> targets = FreeTargets(used, cells.back());
                    if (targets.empty())
                        break;
                    cells.push_back(generator.AnyOf(targets));
                    used.set(static_cast<std::size_t>(cells.back()));
                }
                const std::uint64_t nodes = SolveCompletion(PositionOf(cells), capped).nodes;
                if (nodes >= bestNodes) {
                    best = cells;
                    bestNodes = nodes;
                }
            }
            add(Climbed, best);
        }
        samples.push_back({Empty, {}});
        if (!savePath.empty() && !Save(savePath, samples)) {
            std::fprintf(stderr, "could not write %s\n", savePath.c_str());
            return 2;
        }
    }
    const double generateMs = ThreadMilliseconds() - generateStart;

    Checks checks;
    std::vector<Sample*> slow;
    for (Sample& sample : samples) {
        const int runs = sample.set == Empty || sample.set == Fewest ? repeats : 1;
        Measure(sample, runs, checks);
        if (runs == 1 && sample.ms > 1.0)
            slow.push_back(&sample);
    }
    // A single run over 1 ms is timed again: on this shared virtual machine a run now and then
    // takes ten times its usual time, the core having been taken away in the middle of it.
    Retime(slow, repeats);
    const std::size_t retimed = repeats > 1 ? slow.size() : 0;

    std::printf("Solver: completion from a position, one thread, no budget, thread CPU time; seed %u (--seed=N), "
                "%zu distinct positions (%s in %.0f s); each position timed once, or as the median of %d runs: the greedy games' "
                "positions, the empty board and the %zu positions whose first run took over 1 ms\n\n",
                seed, samples.size(), loadPath.empty() ? "generated" : "loaded", generateMs / 1000, repeats, retimed);
    std::printf("| Set | Positions | Reachable | Unreachable | Unknown | Time, ms: median | p99 | p99.9 | p99.99 | max "
                "| Nodes: median | p99 | p99.9 | p99.99 | max | Target | Result |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    const auto row = [&](int set) {
        std::vector<double> ms;
        std::vector<double> nodes;
        int counts[3] = {0, 0, 0};
        for (const Sample& sample : samples) {
            if (set != SetCount && sample.set != set)
                continue;
            ms.push_back(sample.ms);
            nodes.push_back(static_cast<double>(sample.nodes));
            ++counts[static_cast<int>(sample.answer)];
        }
        if (ms.empty())
            return;
        std::sort(ms.begin(), ms.end());
        std::sort(nodes.begin(), nodes.end());
        const bool all = set == SetCount;
        const bool pass = counts[2] == 0 && checks.badCompletions == 0 && checks.unreachableWrong == 0 &&
                          Percentile(ms, 0.9999) <= 5.0 && ms.back() <= 50.0;
        std::printf("| %s | %zu | %d | %d | %d | %.3f | %.3f | %.3f | %.3f | %.2f | %.0f | %.0f | %.0f | %.0f | %.0f | %s | %s |\n",
                    all ? "**All of the above**" : SetNames[set], ms.size(), counts[0], counts[1], counts[2],
                    Percentile(ms, 0.5), Percentile(ms, 0.99), Percentile(ms, 0.999), Percentile(ms, 0.9999), ms.back(),
                    Percentile(nodes, 0.5), Percentile(nodes, 0.99), Percentile(nodes, 0.999), Percentile(nodes, 0.9999),
                    nodes.back(), all ? "0 unknown, p99.99 ≤ 5 ms, max ≤ 50 ms" : "—", all ? (pass ? "PASS" : "MISS") : "—");
    };
    for (int set = 0; set <= SetCount; ++set)
        row(set);
    std::printf("\nChecks: %d \"reachable\" completions rejected by a separate move rule; \"unreachable\" confirmed by plain "
                "search on %d positions with at most 28 free cells, %d contradicted.\n",
                checks.badCompletions, checks.unreachableChecked, checks.unreachableWrong);

    // The known slow positions, each the median of its runs.
    std::printf("\n| Slow position (x a number, @ the last) | Answer | Time, ms | Nodes |\n|---|---|---|---|\n");
    for (const char* board : SlowPositions) {
        Sample sample{Empty, GameOf(board)};
        Measure(sample, repeats, checks);
        std::printf("| `%s` | %s | %.2f | %llu |\n", board, AnswerText(sample.answer), sample.ms,
                    static_cast<unsigned long long>(sample.nodes));
    }

    // What --analyse asks of a record file: the last number that kept 100 reachable, for 20
    // games. Groups of 20 of the random-like games above, each group timed as a whole.
    {
        std::vector<double> groups;
        std::vector<const Sample*> games;
        for (const Sample& sample : samples)
            if (sample.set <= OneLosing && sample.cells.size() >= 2)
                games.push_back(&sample);
        SplitMix64(seed).Shuffle(games);
        for (std::size_t group = 0; group + 20 <= games.size() && group < 20 * 500; group += 20) {
            const double start = ThreadMilliseconds();
            for (std::size_t i = group; i < group + 20; ++i)
                LastReachableNumber(games[i]->cells);
            groups.push_back(ThreadMilliseconds() - start);
        }
        std::sort(groups.begin(), groups.end());
        std::printf("\nLast number that kept 100 reachable (as --analyse), %zu groups of 20 random-like games: median %.1f ms, "
                    "max %.1f ms per group (target: under 1 s) — %s\n",
                    groups.size(), Percentile(groups, 0.5), groups.empty() ? 0.0 : groups.back(),
                    !groups.empty() && groups.back() < 1000 ? "PASS" : "MISS");
    }
    {
        std::uint64_t nodes = 0;
        const double start = ThreadMilliseconds();
        const Reachability every = EveryFirstCellReaches({}, &nodes);
        std::printf("Every first cell of the empty board, each solved: %s, %.1f ms, %llu nodes in all\n",
                    every == Reachability::Reachable ? "all 100 reach 100" : "NOT all reach 100", ThreadMilliseconds() - start,
                    static_cast<unsigned long long>(nodes));
    }
    if (verbose) {
        std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.ms > b.ms; });
        for (std::size_t i = 0; i < std::min<std::size_t>(30, samples.size()); ++i)
            std::printf("slow\t%.3f ms\t%llu nodes\t%s\tset %d\t%zu numbers\t%s\n", samples[i].ms,
                        static_cast<unsigned long long>(samples[i].nodes), AnswerText(samples[i].answer), samples[i].set,
                        samples[i].cells.size(), Board(samples[i].cells).c_str());
    }
    return checks.badCompletions == 0 && checks.unreachableWrong == 0 ? 0 : 1;
}
