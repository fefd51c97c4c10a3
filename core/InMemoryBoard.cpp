#include "InMemoryBoard.h"

#include "BoardTraversal.h"

#include <algorithm>
#include <stdexcept>

namespace tovra {

InMemoryBoard::InMemoryBoard() = default;

int InMemoryBoard::SlotOf(const std::string& id)
{
    const int row = CellRow(id);
    const int column = CellColumn(id);
    if (id.size() != 6 || id.compare(0, 2, "bt") != 0 || row < 1 || row > BoardSize || column < 1 ||
        column > BoardSize)
        throw std::invalid_argument("no such cell: '" + id + "'");
    return (row - 1) * BoardSize + (column - 1);
}

InMemoryBoard::CellState& InMemoryBoard::state(Cell cell)
{
    if (cell.slot < 0 || cell.slot >= static_cast<int>(cells_.size()))
        throw std::invalid_argument("not a cell of this board");
    return cells_[static_cast<std::size_t>(cell.slot)];
}

Cell InMemoryBoard::FindCell(const std::string& id) { return Cell{SlotOf(id)}; }

std::string InMemoryBoard::CellId(Cell cell)
{
    state(cell);
    return MakeCellId(cell.slot / BoardSize + 1, cell.slot % BoardSize + 1);
}

std::string InMemoryBoard::Caption(Cell cell) { return state(cell).caption; }
void InMemoryBoard::SetCaption(Cell cell, const std::string& text) { state(cell).caption = text; }
Color InMemoryBoard::CellColor(Cell cell) { return state(cell).color; }
void InMemoryBoard::SetCellColor(Cell cell, Color color) { state(cell).color = color; }
void InMemoryBoard::SetBold(Cell cell, bool bold) { state(cell).bold = bold; }
void InMemoryBoard::SetGiven(Cell cell, bool given) { state(cell).given = given; }

void InMemoryBoard::SetPanelText(Panel panel, const std::string& text)
{
    (panel == Panel::ScorePanel ? scorePanel_ : timePanel_) = text;
}

void InMemoryBoard::DispatchPendingEvents()
{
    ++dispatches;
    if (onDispatch)
        onDispatch();
}

const InMemoryBoard::CellState& InMemoryBoard::At(const std::string& id) const
{
    return cells_[static_cast<std::size_t>(SlotOf(id))];
}

const InMemoryBoard::CellState& InMemoryBoard::At(int row, int column) const { return At(MakeCellId(row, column)); }

const std::string& InMemoryBoard::PanelText(Panel panel) const
{
    return panel == Panel::ScorePanel ? scorePanel_ : timePanel_;
}

std::string InMemoryBoard::ToText() const
{
    std::string text;
    ForEachCellId([&](const std::string& id, int, int column) {
        const CellState& cell = At(id);
        std::string item = cell.caption.empty() ? "." : cell.caption;
        if (cell.color == MarkColor)
            item += '*';
        else if (cell.color == HintColor)
            item += '+';
        text += std::string(5 - std::min<std::size_t>(item.size(), 4), ' ') + item;
        if (column == BoardSize)
            text += '\n';
    });
    return text;
}

} // namespace tovra
