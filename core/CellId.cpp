#include "CellId.h"

namespace tovra {

namespace {
int TwoDigitsAt(std::string_view id, std::size_t offset)
{
    if (id.size() < offset + 2)
        return 0;
    const char tens = id[offset];
    const char units = id[offset + 1];
    if (tens < '0' || tens > '9' || units < '0' || units > '9')
        return 0;
    return (tens - '0') * 10 + (units - '0');
}

void AppendTwoDigits(std::string& out, int value)
{
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}
} // namespace

std::string MakeCellId(int row, int column, std::string_view prefix)
{
    std::string id(prefix);
    AppendTwoDigits(id, row);
    AppendTwoDigits(id, column);
    return id;
}

int CellRow(std::string_view id) { return TwoDigitsAt(id, 2); }
int CellColumn(std::string_view id) { return TwoDigitsAt(id, 4); }

int CellIndexOf(std::string_view id)
{
    if (id.size() != 6 || id.substr(0, 2) != "bt")
        return -1;
    const int row = CellRow(id);
    const int column = CellColumn(id);
    if (row < 1 || row > BoardSize || column < 1 || column > BoardSize)
        return -1;
    return (row - 1) * BoardSize + (column - 1);
}

std::string CellIdOf(int index)
{
    if (index < 0 || index >= BoardSize * BoardSize)
        return {};
    return MakeCellId(index / BoardSize + 1, index % BoardSize + 1);
}

} // namespace tovra
