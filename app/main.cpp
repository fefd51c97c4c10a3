#include "ui/Resources.h"
#include "ui/Unit1.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    InitUiResources();
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Tovratovratovra"));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    // Created before the event loop: its start-up reads record.dat and may report an error
    // before the window is shown.
    TForm1 Form1;
    Form1.adjustSize();
    const QRect screen = Form1.screen()->availableGeometry();
    Form1.move(screen.center() - Form1.rect().center());
    Form1.show();
    Form1.activateWindow();
    return application.exec();
}
