#include "gamestore/GameDatabaseSchema.h"
#include "gamestore/HistoryReport.h"
#include "records/GameAnalysis.h"
#include "records/RecordFile.h"
#include "ui/Startup.h"
#include "ui/TerminationWatch.h"
#include "ui/Unit1.h"

#include <QApplication>

#include <iostream>
#include <string_view>

namespace {
const char* const Usage = R"(usage: tovratovratovra [--analyse [FILE] | --history [--csv] [FILE] | --help | --version]

"Tovra!, Tovra!, Tovra!": place the numbers 1 to 100 on a 10 x 10 board, each one three cells
from the last in a line or two on a diagonal. Without an option the game opens its window;
its best-20 table is record.dat in the current folder. In the game, F1 opens the help and
Ctrl+F1 the list of keys.

  --analyse [FILE]  prints each game stored in record.dat (or FILE), without a window
  --history [--csv] [FILE]
                    prints every game played, from games.db (or FILE), without a window
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
    const auto application = OpenApplication(argc, argv);
    PrepareApplication();
    // Created before the event loop: its start-up reads record.dat and may report an error
    // before the window is shown.
    TForm1 Form1;
    // A logout or a plain kill writes the game in progress first. Made after the window, so
    // that it goes first.
    TerminationWatch termination([&Form1] { Form1.FlushSaves(); });
    ShowMainWindow(Form1);
    return application->exec();
}
