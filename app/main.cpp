#include "app/CommandLine.h"
#include "app/TerminalStream.h"
#include "core/DailyCommand.h"
#include "gamestore/GameDatabaseSchema.h"
#include "gamestore/HistoryReport.h"
#include "gamestore/StoreFiles.h"
#include "records/GameAnalysis.h"
#include "records/RecordFile.h"
#include "ui/Startup.h"
#include "ui/TerminationWatch.h"
#include "ui/Unit1.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <unistd.h>
#include <vector>

int main(int argc, char* argv[])
{
    // Everything but the game's window prints and ends before any window or display is touched;
    // an argument not understood ends it the same way, so it never opens a second window.
    const tovra::ParsedCommandLine parsed =
        tovra::ParseCommandLine(std::span<const char* const>(argv + (argc > 0 ? 1 : 0), argv + std::max(argc, 0)));
    if (!parsed.line) {
        tovra::TerminalStream(STDERR_FILENO) << parsed.problem << "\n\n" << tovra::UsageText();
        return 2;
    }
    const tovra::CommandLine& line = *parsed.line;
    // The one file layer record.dat is read and written through, for --analyse and the window.
    tovra::PosixFileSystem files;
    if (line.command != tovra::Command::Play && line.command != tovra::Command::Open) {
        tovra::TerminalStream out(STDOUT_FILENO);
        tovra::TerminalStream errors(STDERR_FILENO);
        switch (line.command) {
        case tovra::Command::Help:
            out << tovra::UsageText();
            return 0;
        case tovra::Command::Version:
            // The version the executable's version record holds, as the About window shows it.
            out << "tovratovratovra " << TOVRA_FILE_VERSION << "\n";
            return 0;
        case tovra::Command::Analyse:
            return tovra::AnalyseRecordFile(line.file.value_or(tovra::RecordFileName), files, out, errors);
        case tovra::Command::History:
            // No games.db yet is an empty history; a file named that is not there is a mistake.
            if (line.file && access(line.file->c_str(), F_OK) != 0 && errno == ENOENT) {
                errors << *line.file << ": no such file\n";
                return 1;
            }
            return tovra::ReportHistory(line.file.value_or(tovra::OwnGameDatabaseName()),
                                        line.csv ? tovra::ReportFormat::Csv : tovra::ReportFormat::Text, out, errors);
        case tovra::Command::Daily:
            return tovra::PrintDailyBoard(line.word, tovra::LocalNow(), out, errors);
        case tovra::Command::Open:
        case tovra::Command::Play:
            break;
        }
    }
    // A code that cannot be read ends here, before any window opens; the toolkit is not shown
    // the option and its code.
    std::optional<std::vector<int>> openCells;
    std::vector<char*> toolkitArguments(argv, argv + std::max(argc, 0));
    if (line.command == tovra::Command::Open) {
        tovra::TerminalStream errors(STDERR_FILENO);
        openCells = tovra::CellsOfCodeArgument(*line.word, errors);
        if (!openCells)
            return 2;
        std::erase_if(toolkitArguments, [&](const char* word) {
            return std::string_view(word) == "--open" || std::string_view(word) == *line.word;
        });
        argc = static_cast<int>(toolkitArguments.size());
        toolkitArguments.push_back(nullptr);
        argv = toolkitArguments.data();
    }
    std::unique_ptr<QApplication> application;
    {
        const StartupReporter reporter;
        application = std::make_unique<QApplication>(argc, argv);
    }
    PrepareApplication();
    // Created before the event loop: its start-up reads record.dat and may report an error
    // before the window is shown.
    TForm1 Form1(files);
    // A logout or a plain kill writes the game in progress first. Made after the window, so
    // that it goes first.
    TerminationWatch termination([&Form1] { Form1.FlushSaves(); });
    ShowMainWindow(Form1);
    if (openCells)
        QTimer::singleShot(0, &Form1, [&Form1, cells = *openCells] { Form1.OpenCodeInViewer(cells); });
    return application->exec();
}
