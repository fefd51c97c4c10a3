#include "DailyCommand.h"

#include "BoardCode.h"
#include "DailyBoard.h"

#include <ostream>
#include <string>

namespace tovra {

int PrintDailyBoard(std::optional<std::string_view> date, DateTime today, std::ostream& out, std::ostream& err)
{
    const std::optional<CivilDate> day = date ? ParseIsoDate(*date) : std::optional(DecodeDate(today));
    if (!day || day->year < 1 || day->year > 9999) {
        err << "tovratovratovra: '" << (date ? std::string(*date) : std::string()) << "' is not a date of the calendar"
            << " (YYYY-MM-DD, years 0001 to 9999)\n";
        return 2;
    }
    const DailyBoard board = MakeDailyBoard(*day);
    out << IsoDateText(board.date) << ": grade " << board.grade << " of " << HardestGrade << ", numbers 1 to "
        << board.cells.size() << " given\n"
        << EncodeBoardCode(board.cells) << "\n";
    return 0;
}

std::optional<std::vector<int>> CellsOfCodeArgument(std::string_view code, std::ostream& err)
{
    BoardCodeReading reading = ReadBoardCode(code);
    if (reading.fault != BoardCodeFault::None) {
        err << "tovratovratovra: " << reading.message << "\n";
        return std::nullopt;
    }
    return std::move(reading.cells);
}

} // namespace tovra
