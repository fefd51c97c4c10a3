#include "gamestore/GameDatabaseSchema.h"
#include "gamestore/HistoryReport.h"
#include "records/GameAnalysis.h"
#include "records/RecordFile.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"
#include "core/DailyCommand.h"

#include <QApplication>
#include <QTimer>

#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

namespace {
const char* const Usage = R"(usage: tovratovratovra [--analyse [FILE] | --history [--csv] [FILE] | --daily [DATE] | --open CODE |
                        --help | --version]

"Tovra!, Tovra!, Tovra!": place the numbers 1 to 100 on a 10 x 10 board, each one three cells
from the last in a line or two on a diagonal. Without an option the game opens its window;
its best-20 table is record.dat in the current folder. In the game, F1 opens the help and
Ctrl+F1 the list of keys.

  --analyse [FILE]  prints each game stored in record.dat (or FILE), without a window
  --history [--csv] [FILE]
                    prints every game played, from games.db (or FILE), without a window
  --daily [DATE]    prints the code and grade of the board of DATE (YYYY-MM-DD; today's when
                    none), without a window
  --open CODE       opens the game with the board of CODE in the viewer
  --help            prints this text
  --version         prints the version

The toolkit's own options (-platform NAME, -display NAME, ...) pass through to it.
)";
} // namespace

int main(int argc, char* argv[])
{
    // These print and end before any window or display is touched.
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << Usage;
        return 0;
    }
    // The version the executable's version record holds, as the About window shows it.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "tovratovratovra " << TOVRA_FILE_VERSION << "\n";
        return 0;
    }
    // The analysis and the history print and end before any window or display is touched.
    if (argc >= 2 && std::string_view(argv[1]) == "--analyse") {
        if (argc > 3) {
            std::cerr << "usage: tovratovratovra --analyse [FILE]\n";
            return 2;
        }
        return tovra::AnalyseRecordFile(argc == 3 ? argv[2] : tovra::RecordFileName, std::cout, std::cerr);
    }
    if (argc >= 2 && std::string_view(argv[1]) == "--history") {
        const bool csv = argc >= 3 && std::string_view(argv[2]) == "--csv";
        const int first = csv ? 3 : 2;
        if (argc > first + 1) {
            std::cerr << "usage: tovratovratovra --history [--csv] [FILE]\n";
            return 2;
        }
        return tovra::ReportHistory(argc == first + 1 ? argv[first] : tovra::GameDatabaseFileName,
                                    csv ? tovra::ReportFormat::Csv : tovra::ReportFormat::Text, std::cout, std::cerr);
    }
    if (argc >= 2 && std::string_view(argv[1]) == "--daily") {
        if (argc > 3) {
            std::cerr << "usage: tovratovratovra --daily [YYYY-MM-DD]\n";
            return 2;
        }
        return tovra::PrintDailyBoard(argc == 3 ? std::optional<std::string_view>(argv[2]) : std::nullopt,
                                      tovra::LocalNow(), std::cout, std::cerr);
    }
    // A code that cannot be read ends here, before any window opens.
    std::optional<std::vector<int>> openCells;
    if (argc >= 2 && std::string_view(argv[1]) == "--open") {
        if (argc != 3) {
            std::cerr << "usage: tovratovratovra --open CODE\n";
            return 2;
        }
        openCells = tovra::CellsOfCodeArgument(argv[2], std::cerr);
        if (!openCells)
            return 2;
        argc = 1; // the toolkit sees no option of ours
    }
    const auto application = OpenApplication(argc, argv);
    PrepareApplication();
    // Created before the event loop: its start-up reads record.dat and may report an error
    // before the window is shown.
    TForm1 Form1;
    ShowMainWindow(Form1);
    if (openCells)
        QTimer::singleShot(0, &Form1, [&Form1, cells = *openCells] { Form1.OpenCodeInViewer(cells); });
    return application->exec();
}
