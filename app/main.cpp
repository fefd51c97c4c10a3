#include "ui/Startup.h"
#include "ui/Unit1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    PrepareApplication();
    // Created before the event loop: its start-up reads record.dat and may report an error
    // before the window is shown.
    TForm1 Form1;
    ShowMainWindow(Form1);
    return application.exec();
}
