#include "PlayPolicies.h"

#include "BoardCell.h"
#include "GameState.h"

namespace tovra {

namespace {

int Onward(int cell, const UsedCells& used)
{
    int targets[8];
    return FreeTargets(cell, used, targets);
}

} // namespace

int FreeTargets(int cell, const UsedCells& used, int* targets)
{
    int free = 0;
    for (const int target : Moves.target[cell])
        if (target != NoCell && !used[static_cast<std::size_t>(target)])
            targets[free++] = target;
    return free;
}

int PlayOn(const std::vector<int>& cells, PlayPolicy policy, SplitMix64& random)
{
    UsedCells used{};
    for (const int cell : cells)
        used[static_cast<std::size_t>(cell)] = true;
    int number = static_cast<int>(cells.size());
    int last = cells.back();
    int targets[8];
    int chosen[8];
    for (;;) {
        const int free = FreeTargets(last, used, targets);
        if (free == 0)
            return number;
        int choices = 0;
        if (policy == PlayPolicy::Random) {
            for (int i = 0; i < free; ++i)
                chosen[choices++] = targets[i];
        } else if (policy == PlayPolicy::LookAhead) {
            for (int i = 0; i < free; ++i) {
                used[static_cast<std::size_t>(targets[i])] = true;
                if (number + 1 == CellCount || Onward(targets[i], used) > 0)
                    chosen[choices++] = targets[i];
                used[static_cast<std::size_t>(targets[i])] = false;
            }
            if (choices == 0)
                chosen[choices++] = targets[0];
        } else {
            int fewest = 9;
            for (int i = 0; i < free; ++i) {
                used[static_cast<std::size_t>(targets[i])] = true;
                // A cell with no way on ends the game short of 100: the last resort, not the pick.
                int onward = Onward(targets[i], used);
                if (onward == 0 && number + 1 != CellCount)
                    onward = 8;
                used[static_cast<std::size_t>(targets[i])] = false;
                if (onward < fewest) {
                    fewest = onward;
                    choices = 0;
                }
                if (onward == fewest)
                    chosen[choices++] = targets[i];
            }
            if (policy == PlayPolicy::FewestOnwardInOrder)
                choices = 1;
        }
        last = choices == 1 ? chosen[0] : chosen[random.Below(static_cast<std::uint32_t>(choices))];
        used[static_cast<std::size_t>(last)] = true;
        ++number;
    }
}

} // namespace tovra
