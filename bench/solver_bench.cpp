// The completion solver on a reproducible set of positions: random-play positions, every
// position of games by a "fewest onward moves" player, and the empty board. Prints one
// "key<TAB>value" line per figure for script/bench; --verbose adds the hardest positions.
#include "core/BoardTraversal.h"
#include "core/Solver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <time.h>

using namespace tovra;

namespace {

std::vector<int> FreeTargets(const std::bitset<100>& used, int from)
{
    std::vector<int> targets;
    for (const Step step : MoveSteps) {
        const int row = from / 10 + step.rows;
        const int column = from % 10 + step.columns;
        if (row >= 0 && row < 10 && column >= 0 && column < 10 && !used.test(static_cast<std::size_t>(row * 10 + column)))
            targets.push_back(row * 10 + column);
    }
    return targets;
}

// A game of up to `numbers` numbers from a random first cell; `choose` picks among the free
// targets. Stops early where the game gets stuck.
template <class Choose>
std::vector<int> PlayGame(std::mt19937& random, int numbers, Choose&& choose)
{
    std::bitset<100> used;
    std::vector<int> cells{std::uniform_int_distribution<int>(0, 99)(random)};
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

struct Sample {
    std::string set;
    SolverPosition position;
    double ms = 0;
    std::uint64_t nodes = 0;
    Reachability answer = Reachability::Unknown;
};

bool IsMove(int from, int to)
{
    const int rows = std::abs(from / 10 - to / 10);
    const int columns = std::abs(from % 10 - to % 10);
    return IsMoveShape(columns, rows);
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

// CPU time of this thread: on a machine shared with other work, wall-clock time mostly measures
// how long the scheduler kept the solver waiting.
double ThreadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

std::string Board(const SolverPosition& position)
{
    std::string text;
    for (int cell = 0; cell < 100; ++cell) {
        text += cell == position.lastCell ? 'L' : position.numbered.test(static_cast<std::size_t>(cell)) ? '#' : '.';
        if (cell % 10 == 9)
            text += ' ';
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned seed = 20261208;
    int randomPositions = 2000;
    int games = 200;
    int repeats = 3;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strncmp(argv[i], "--seed=", 7))
            seed = static_cast<unsigned>(std::strtoul(argv[i] + 7, nullptr, 10));
        else if (!std::strncmp(argv[i], "--positions=", 12))
            randomPositions = std::atoi(argv[i] + 12);
        else if (!std::strncmp(argv[i], "--games=", 8))
            games = std::atoi(argv[i] + 8);
        else if (!std::strncmp(argv[i], "--repeats=", 10))
            repeats = std::max(1, std::atoi(argv[i] + 10));
        else if (!std::strcmp(argv[i], "--verbose"))
            verbose = true;
    }
    std::mt19937 random(seed);
    std::vector<Sample> samples;

    // Random play: k uniform in 1..99, then random legal numbers; a game stuck before k gives
    // the position where it stuck (a finished game, which the solver must call unreachable).
    int stuck = 0;
    for (int i = 0; i < randomPositions; ++i) {
        const int k = std::uniform_int_distribution<int>(1, 99)(random);
        const std::vector<int> cells = PlayGame(random, k, [&](const std::bitset<100>&, const std::vector<int>& targets) {
            return targets[std::uniform_int_distribution<std::size_t>(0, targets.size() - 1)(random)];
        });
        stuck += static_cast<int>(cells.size()) < k ? 1 : 0;
        samples.push_back({"random", PositionAfter(cells, static_cast<int>(cells.size()))});
    }
    // Games by a player who always takes the target with the fewest onward moves (ties at
    // random): every position of each game, from number 1 to its end.
    int fewestPositions = 0;
    for (int game = 0; game < games; ++game) {
        const std::vector<int> cells = PlayGame(random, 100, [&](const std::bitset<100>& used, const std::vector<int>& targets) {
            int best = -1;
            std::size_t bestOnward = 99;
            int ties = 0;
            for (const int target : targets) {
                std::bitset<100> after = used;
                after.set(static_cast<std::size_t>(target));
                const std::size_t onward = FreeTargets(after, target).size();
                if (onward < bestOnward) {
                    bestOnward = onward;
                    best = target;
                    ties = 1;
                } else if (onward == bestOnward && std::uniform_int_distribution<int>(0, ties++)(random) == 0) {
                    best = target;
                }
            }
            return best;
        });
        for (int count = 1; count <= static_cast<int>(cells.size()); ++count, ++fewestPositions)
            samples.push_back({"fewest", PositionAfter(cells, count)});
    }
    samples.push_back({"empty", SolverPosition{}});

    int wrong = 0;
    for (Sample& sample : samples) {
        std::vector<double> times;
        for (int r = 0; r < repeats; ++r) {
            const double start = ThreadMilliseconds();
            const SolverAnswer answer = SolveCompletion(sample.position);
            times.push_back(ThreadMilliseconds() - start);
            sample.nodes = answer.nodes;
            sample.answer = answer.answer;
            if (answer.answer == Reachability::Reachable && !Completes(sample.position, answer.completion))
                ++wrong;
        }
        sample.ms = Percentile(times, 0.5);
    }

    std::printf("Solver: completion from a position, one thread, no budget, thread CPU time; seed %u (--seed=N to change), "
                "median of %d runs per position; %d bad completions\n\n",
                seed, repeats, wrong);
    std::printf("| Set | Positions | Reachable | Unreachable | Unknown | Time, ms: median | p99 | max "
                "| Nodes: median | p99 | max | Target | Result |\n");
    std::printf("| --- | --- | --- | --- | --- | --- | --- | --- | --- | --- | --- | --- | --- |\n");
    const auto row = [&](const char* set, const std::string& label, bool withTarget) {
        std::vector<double> ms;
        std::vector<double> nodes;
        int counts[3] = {0, 0, 0};
        for (const Sample& sample : samples) {
            if (std::strcmp(set, "all") != 0 && sample.set != set)
                continue;
            ms.push_back(sample.ms);
            nodes.push_back(static_cast<double>(sample.nodes));
            ++counts[static_cast<int>(sample.answer)];
        }
        const double p99 = Percentile(ms, 0.99);
        const double max = Percentile(ms, 1.0);
        const bool pass = counts[2] == 0 && wrong == 0 && p99 <= 2.0 && max <= 50.0;
        std::printf("| %s | %zu | %d | %d | %d | %.3f | %.3f | %.2f | %.0f | %.0f | %.0f | %s | %s |\n", label.c_str(), ms.size(),
                    counts[0], counts[1], counts[2], Percentile(ms, 0.5), p99, max, Percentile(nodes, 0.5),
                    Percentile(nodes, 0.99), max == 0 && ms.empty() ? 0.0 : Percentile(nodes, 1.0),
                    withTarget ? "0 unknown, p99 ≤ 2 ms, max ≤ 50 ms" : "—", withTarget ? (pass ? "PASS" : "MISS") : "—");
    };
    row("random", "Random play: first cell at random, then k random numbers, k uniform in 1..99 (" + std::to_string(stuck) +
                      " games stuck before k, taken where they stuck)", false);
    row("fewest", "Every position of " + std::to_string(games) + " games by a \"fewest onward moves\" player", false);
    row("empty", "The empty board", false);
    row("all", "All of the above", true);
    {
        std::uint64_t nodes = 0;
        const double start = ThreadMilliseconds();
        const Reachability every = EveryFirstCellReaches({}, &nodes);
        const double end = ThreadMilliseconds();
        std::printf("| Every first cell of the empty board, each solved (100 solves, one run) | 100 | %s | — | %s | — | — | %.2f (all) | — "
                    "| — | %llu (all) | reachable from all | %s |\n",
                    every == Reachability::Reachable ? "100" : "no", every == Reachability::Unknown ? "yes" : "0",
                    end - start, static_cast<unsigned long long>(nodes),
                    every == Reachability::Reachable ? "PASS" : "MISS");
    }
    if (verbose) {
        std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.ms > b.ms; });
        for (std::size_t i = 0; i < std::min<std::size_t>(15, samples.size()); ++i)
            std::printf("hard\t%.3f ms %llu nodes %s %d numbers %s\n", samples[i].ms, static_cast<unsigned long long>(samples[i].nodes),
                        samples[i].answer == Reachability::Reachable ? "R" : samples[i].answer == Reachability::Unreachable ? "U" : "?",
                        static_cast<int>(samples[i].position.numbered.count()), Board(samples[i].position).c_str());
    }
    return wrong == 0 ? 0 : 1;
}
