#pragma once
// A game shown number by number, forward and back: what the game viewer steps through. The
// numbers after the played ones, if any, are a completion to 100 shown after the game.
#include <optional>
#include <vector>

namespace tovra {

class GameReplay {
public:
    // `cells`: cell indexes 0..99 of numbers 1, 2, ... in order; the first `played` were played
    // (all of them when `played` is out of range). `lastReachable`: the last number after which
    // 100 could still be reached, when known. Starts at the empty board.
    explicit GameReplay(std::vector<int> cells, int played = -1, std::optional<int> lastReachable = std::nullopt);

    // Numbers on the board: 0..Length().
    int Position() const { return position_; }
    int Length() const { return static_cast<int>(cells_.size()); }
    int Played() const { return played_; }
    bool AtStart() const { return position_ == 0; }
    bool AtEnd() const { return position_ == Length(); }

    // Each returns whether the board changed.
    bool StepForward();
    bool StepBack();
    bool First();
    bool Last();
    bool JumpTo(int position); // clamped to 0..Length()
    bool JumpToLoss();

    // The board on which 100 could be reached for the last time: the position of the last
    // reachable number. Nothing when it is unknown or 100 was never lost in the played part.
    std::optional<int> LossPosition() const;
    std::optional<int> LastReachable() const { return lastReachable_; }
    void SetLastReachable(int number) { lastReachable_ = number; }

    // The number on a cell at the current position, 0 when free there.
    int NumberOn(int cell) const;
    // The cell of a number 1..Length().
    int CellOf(int number) const { return cells_.at(static_cast<std::size_t>(number - 1)); }
    // A number past the played ones: part of the completion shown after the game.
    bool IsCompletion(int number) const { return number > played_; }
    // Cells of numbers 1..Position(), in order: the position to ask the solver about.
    std::vector<int> CellsShown() const;
    // Cells of the played numbers, in order.
    std::vector<int> PlayedCells() const { return {cells_.begin(), cells_.begin() + played_}; }

private:
    std::vector<int> cells_;
    std::vector<int> numberOnCell_; // 100 entries: the number on each cell in the whole game, 0 for none
    int played_;
    std::optional<int> lastReachable_;
    int position_ = 0;
};

} // namespace tovra
