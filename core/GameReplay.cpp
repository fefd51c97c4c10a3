#include "core/GameReplay.h"

#include <algorithm>

namespace tovra {

GameReplay::GameReplay(std::vector<int> cells, int played, std::optional<int> lastReachable)
    : cells_(std::move(cells))
    , numberOnCell_(100, 0)
    , played_(played < 0 || played > static_cast<int>(cells_.size()) ? static_cast<int>(cells_.size()) : played)
    , lastReachable_(lastReachable)
{
    // A cell out of range, or one used twice, ends the game there: what follows is no game.
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const int cell = cells_[i];
        if (cell < 0 || cell >= 100 || numberOnCell_[static_cast<std::size_t>(cell)] != 0) {
            cells_.resize(i);
            break;
        }
        numberOnCell_[static_cast<std::size_t>(cell)] = static_cast<int>(i) + 1;
    }
    played_ = std::min(played_, Length());
}

bool GameReplay::StepForward() { return JumpTo(position_ + 1); }
bool GameReplay::StepBack() { return JumpTo(position_ - 1); }
bool GameReplay::First() { return JumpTo(0); }
bool GameReplay::Last() { return JumpTo(Length()); }

bool GameReplay::JumpTo(int position)
{
    const int clamped = std::clamp(position, 0, Length());
    if (clamped == position_)
        return false;
    position_ = clamped;
    return true;
}

bool GameReplay::JumpToLoss()
{
    const std::optional<int> loss = LossPosition();
    return loss && JumpTo(*loss);
}

std::optional<int> GameReplay::LossPosition() const
{
    if (!lastReachable_ || *lastReachable_ < 0 || *lastReachable_ >= played_)
        return std::nullopt;
    return *lastReachable_;
}

int GameReplay::NumberOn(int cell) const
{
    if (cell < 0 || cell >= 100)
        return 0;
    const int number = numberOnCell_[static_cast<std::size_t>(cell)];
    return number <= position_ ? number : 0;
}

std::vector<int> GameReplay::CellsShown() const
{
    return {cells_.begin(), cells_.begin() + position_};
}

} // namespace tovra
