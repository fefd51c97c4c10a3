#include "GameTestSupport.h"

#include <cstdlib>
#include <set>

namespace tovra::testing {

std::string BrokenInvariant(const GameState& game, const InMemoryBoard& board)
{
    if (game.MoveCount > 100)
        return "MoveCount above 100";
    int numbered = 0;
    int marked = 0;
    std::string markedId;
    std::string problem;
    ForEachCellId([&](const std::string& id, int, int) {
        const auto& cell = board.At(id);
        if (!cell.caption.empty()) {
            ++numbered;
            const int number = std::atoi(cell.caption.c_str());
            if (number < 1 || number > game.MoveCount || std::to_string(number) != cell.caption)
                problem = id + " holds '" + cell.caption + "'";
            else if (game.MoveHistory[number].Id() != id)
                problem = "history entry " + cell.caption + " is not " + id;
            if (cell.bold != (id == game.LastCell.Id()))
                problem = id + (cell.bold ? " is bold" : " is not bold");
            if (cell.color == HintColor)
                problem = id + " is highlighted but numbered";
        } else if (cell.color == MarkColor || cell.color == NumberColor) {
            problem = "free cell " + id + " has a numbered cell's colour";
        }
        if (cell.color == MarkColor) {
            ++marked;
            markedId = id;
        }
    });
    if (!problem.empty())
        return problem;
    if (numbered != game.MoveCount)
        return std::to_string(numbered) + " numbered cells for MoveCount " + std::to_string(game.MoveCount);
    for (int i = game.MoveCount + 1; i <= 100; ++i)
        if (!game.MoveHistory[i].Id().empty())
            return "history entry " + std::to_string(i) + " above MoveCount is not empty";
    if (game.MoveCount > 0 && game.LastCell.Id() != game.MoveHistory[game.MoveCount].Id())
        return "LastCell is not the last history entry";
    if (marked > 1)
        return "more than one marked cell";
    if ((marked == 1) != !game.MarkedCell.Id().empty() || (marked == 1 && markedId != game.MarkedCell.Id()))
        return "MarkedCell '" + game.MarkedCell.Id() + "' disagrees with the marked colour";
    return {};
}

std::vector<std::string> BruteForceTargets(const std::string& from)
{
    std::vector<std::string> targets;
    ForEachCellId([&](const std::string& id, int row, int column) {
        const int rows = std::abs(row - CellRow(from));
        const int columns = std::abs(column - CellColumn(from));
        if ((rows == 3 && columns == 0) || (rows == 0 && columns == 3) || (rows == 2 && columns == 2))
            targets.push_back(id);
    });
    return targets;
}

} // namespace tovra::testing
