// The game started as app/main.cpp starts it (the same shared start-up steps), with the
// benchmark probe watching the main window.
#include "bench/BenchProbe.h"
#include "ui/Startup.h"
#include "ui/TerminationWatch.h"
#include "ui/Unit1.h"
#include "ui/widgets/TFlatSpeedButton.h"

int main(int argc, char* argv[])
{
    BenchApplication application(argc, argv);
    PrepareApplication();
    tovra::PosixFileSystem files;
    TForm1 Form1(files);
    TerminationWatch termination([&Form1] { Form1.FlushSaves(); });
    application.Watch(&Form1, [](const QWidget* widget) {
        const auto* cell = qobject_cast<const TFlatSpeedButton*>(widget);
        return cell ? cell->Caption() : QString();
    });
    ShowMainWindow(Form1);
    return application.exec();
}
