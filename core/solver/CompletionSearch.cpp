// The search loop: restarts with growing budgets, cheap tries between them, probing of the
// root, and the branching on the most constrained cell.
#include "CycleSearch.h"

#include <algorithm>

namespace tovra::solver {

SolverAnswer CycleSearch::Run()
{
    SolverAnswer answer;
    if (freeCount_ == 0) {
        answer.answer = Reachability::Reachable;
        return answer;
    }
    State root;
    if (!Start(root) || !Bound(root)) {
        answer.answer = Reachability::Unreachable;
        answer.nodes = 1;
        return answer;
    }
    // Restarts with budgets of 100 nodes doubling from run to run, plus one node per free
    // cell so that every run has room for a dive to a full board, and shuffled tie-breaks:
    // a search that went astray early is abandoned for a fresh one, and every run is
    // complete, so whichever run finishes gives the answer. An unreachable position needs
    // one run through its whole tree, whose size depends much on the tie-breaks; doubling
    // gets there in a few runs. (Budgets on the Luby sequence, 1 1 2 1 1 2 4 ..., spent four
    // times more on such positions.) Before each run, short tries of path rotations and of
    // walks, as many as the Luby sequence says, look for a completion the cheap way: most
    // reachable positions that the search is slow on fall to them at once.
    for (std::uint32_t run = 0; !Settle(run, root, answer); ++run) {
    }
    answer.nodes = nodes_;
    return answer;
}

// One run: the cheap tries, the search within its budget, and what the next run inherits. True
// when `answer` holds the answer, or the search was asked to stop.
bool CycleSearch::Settle(std::uint32_t run, State& root, SolverAnswer& answer)
{
    random_ = TieBreaks(0x9E3779B9u * (run + 1));
    const std::uint64_t free = static_cast<std::uint64_t>(freeCount_);
    if (rules_.walks && Rotations(RotationTries * Luby(run + 1), RotationStepsPerCell * free)) {
        answer.answer = Reachability::Reachable;
        answer.completion = rotations_.Completion();
        return true;
    }
    // Not settled at once: the degree bound, too dear for every position, goes first.
    if (run == 0 && rules_.degreeFactor && !DegreeFactorPossible(root)) {
        answer.answer = Reachability::Unreachable;
        return true;
    }
    if (rules_.walks && Walks(WalkTries * Luby(run + 1), WalkStepsPerCell * free + 20)) {
        answer.answer = Reachability::Reachable;
        answer.completion = walks_.Completion();
        return true;
    }
    if (stopped_)
        return true;
    runNodes_ = 0;
    runBudget_ = (std::uint64_t{100} << std::min(run, 40u)) + static_cast<std::uint64_t>(freeCount_);
    const Outcome outcome = Search(root);
    if (outcome != Outcome::OutOfBudget) {
        answer.answer = outcome == Outcome::Found ? Reachability::Reachable : Reachability::Unreachable;
        if (outcome == Outcome::Found)
            answer.completion = Completion();
        return true;
    }
    if (stopped_)
        return true;
    if (rules_.degreeFactor && run >= 1)
        factorDepth_ = FactorDepth;
    if (run == 2 && rules_.probing && !ProbeRoot(root)) {
        answer.answer = Reachability::Unreachable;
        return true;
    }
    if (stopped_)
        return true;
    // After the 1st, 3rd, 7th ... run, the position gets another round of colourings of its own.
    if (((run + 2) & (run + 1)) == 0)
        SeekColourings(root);
    return false;
}

// `count` tries of path rotations, then `count` walks, of up to `steps` steps each.
bool CycleSearch::Rotations(std::uint64_t count, std::uint64_t steps)
{
    for (std::uint64_t i = 0; i < count && !Stopped(); ++i) {
        const std::uint64_t before = rotations_.Steps();
        const bool found = rotations_.Try(StepsWithinLimits(steps), Random());
        Charge(rotations_.Steps() - before);
        if (found)
            return true;
    }
    return false;
}

bool CycleSearch::Walks(std::uint64_t count, std::uint64_t steps)
{
    for (std::uint64_t i = 0; i < count && !Stopped(); ++i) {
        const std::uint64_t before = walks_.Steps();
        const bool found = walks_.Walk(StepsWithinLimits(steps), Random());
        Charge(walks_.Steps() - before);
        if (found)
            return true;
    }
    return false;
}

// The i-th term (from 1) of the Luby sequence 1 1 2 1 1 2 4 1 1 2 1 1 2 4 8 ...
std::uint64_t CycleSearch::Luby(std::uint32_t i)
{
    for (std::uint32_t k = 1; k < 32; ++k) {
        if (i == (1u << k) - 1)
            return std::uint64_t{1} << (k - 1);
        if (i >= (1u << (k - 1)) && i < (1u << k) - 1)
            return Luby(i - (1u << (k - 1)) + 1);
    }
    return 1;
}

Outcome CycleSearch::Search(State& s, int depth)
{
    ++nodes_;
    if (++runNodes_ > runBudget_)
        return Outcome::OutOfBudget;
    if ((limits_.maxNodes != 0 && nodes_ >= limits_.maxNodes) ||
        ((nodes_ & 255) == 1 && limits_.stop.stop_requested())) {
        stopped_ = true;
        return Outcome::OutOfBudget;
    }
    if (s.fixedEdges < vertices_ && !Bound(s))
        return Outcome::Dead;
    if (depth < factorDepth_ && s.fixedEdges < vertices_ && !DegreeFactorPossible(s))
        return Outcome::Dead;
    if (s.fixedEdges == vertices_) {
        solution_ = s;
        return Outcome::Found;
    }

    const int best = MostConstrainedCell(s);
    if (best < 0)
        return Outcome::Dead;
    int bits[9];
    const int count = EdgesInOrder(s, best, bits);

    // Branch i takes edge i and leaves out edges 0..i-1, which the earlier branches took.
    State without = s;
    for (int i = 0; i < count; ++i) {
        State child = without;
        if (Fix(child, best, bits[i]) && Propagate(child)) {
            const Outcome outcome = Search(child, depth + 1);
            if (outcome != Outcome::Dead)
                return outcome;
        } else {
            Fail();
        }
        if (i + 1 == count || !Remove(without, best, bits[i]) || !Propagate(without))
            break;
    }
    Fail();
    return Outcome::Dead;
}

// The most constrained cell: fewest open edges, a chain's end before a loose cell, ties at
// random; -1 when every cell has its two edges.
int CycleSearch::MostConstrainedCell(const State& s)
{
    int best = -1;
    std::uint32_t bestKey = ~0u;
    for (int i = 0; i < pathCellCount_; ++i) {
        const int cell = pathCells_[i];
        const int fixed = Count(s.fixed[cell]);
        if (fixed == 2)
            continue;
        const std::uint32_t key = static_cast<std::uint32_t>((Count(s.open[cell]) * 2 + (fixed == 0 ? 1 : 0)) << 8) |
                                  (Random() & 255u);
        if (key < bestKey) {
            bestKey = key;
            best = cell;
        }
    }
    return best;
}

// The open edges of `cell` not yet fixed, into `bits`: toward the most constrained neighbour
// first, ending the path there last. Returns how many.
int CycleSearch::EdgesInOrder(const State& s, int cell, int bits[9])
{
    std::uint32_t keys[9];
    int count = 0;
    std::uint16_t rest = s.open[cell] & static_cast<std::uint16_t>(~s.fixed[cell]);
    while (rest) {
        const int bit = std::countr_zero(static_cast<unsigned>(rest));
        rest &= static_cast<std::uint16_t>(rest - 1);
        const int other = Across(cell, bit);
        const std::uint32_t key = other == EndVertex ? 0xFFFFu : static_cast<std::uint32_t>(OpenNotFixed(s, other) << 8) | (Random() & 255u);
        int i = count++;
        for (; i > 0 && keys[i - 1] > key; --i) {
            keys[i] = keys[i - 1];
            bits[i] = bits[i - 1];
        }
        keys[i] = key;
        bits[i] = bit;
    }
    return count;
}

// Each open edge of the root fixed in turn, as a node of its own: an edge whose node the
// bounds kill at once (degrees, cut cells, parity, degree factor) is in no completion and
// goes, which narrows the root for every later run and may kill it. The positions a search
// is slowest to prove unreachable have many such edges, but ones where the search merely
// wanders have few, and each probe costs about as much as a few nodes, so probing stops
// after a long row of edges that survive. Returns false when the root is dead.
bool CycleSearch::ProbeRoot(State& root)
{
    int survivedInARow = 0;
    for (int pass = 0; pass < 4; ++pass) {
        bool changed = false;
        for (int i = 0; i < pathCellCount_; ++i) {
            const int cell = pathCells_[i];
            std::uint16_t rest = root.open[cell] & static_cast<std::uint16_t>(~root.fixed[cell]);
            while (rest) {
                const int bit = std::countr_zero(static_cast<unsigned>(rest));
                rest &= static_cast<std::uint16_t>(rest - 1);
                if (Across(cell, bit) < cell) // each edge once, from its lower end
                    continue;
                if (Stopped())
                    return true;
                Charge(1);
                State child = root;
                const bool alive = Fix(child, cell, bit) && Propagate(child) &&
                                   (child.fixedEdges == vertices_ ||
                                    (Bound(child) && (child.fixedEdges == vertices_ || !rules_.degreeFactor ||
                                                      DegreeFactorPossible(child))));
                if (alive) {
                    if (++survivedInARow >= ProbeSurvivorsToStop)
                        return true;
                    continue;
                }
                Fail();
                survivedInARow = 0;
                if (!Remove(root, cell, bit) || !Propagate(root) || !Bound(root))
                    return false;
                if (root.fixedEdges == vertices_)
                    return true;
                changed = true;
                // The root's edges changed: go on from the next edge still open.
                rest = root.open[cell] & static_cast<std::uint16_t>(~root.fixed[cell]) &
                       static_cast<std::uint16_t>(~((2u << bit) - 1));
            }
        }
        if (!changed)
            break;
    }
    return true;
}

SolverAnswer SearchCompletion(const SolverPosition& position, const SolverLimits& limits, SearchRules rules)
{
    return CycleSearch(position, limits, rules).Run();
}

} // namespace tovra::solver
