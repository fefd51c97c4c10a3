#include "records/GameAnalysis.h"
#include "records/GameDatabaseSchema.h"
#include "records/HistoryReport.h"
#include "records/RecordFile.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

#include <QApplication>

#include <iostream>
#include <string_view>

int main(int argc, char* argv[])
{
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
    QApplication application(argc, argv);
    PrepareApplication();
    // Created before the event loop: its start-up reads record.dat and may report an error
    // before the window is shown.
    TForm1 Form1;
    ShowMainWindow(Form1);
    return application.exec();
}
