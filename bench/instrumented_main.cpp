// The game started exactly as app/main.cpp starts it, with the benchmark probe watching the
// main window. Keep the two in step.
#include "bench/BenchProbe.h"
#include "ui/Resources.h"
#include "ui/Unit1.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QIcon>
#include <QScreen>

int main(int argc, char* argv[])
{
    BenchApplication application(argc, argv);
    InitUiResources();
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Tovratovratovra"));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    TForm1 Form1;
    application.Watch(&Form1, [](const QWidget* widget) {
        const auto* cell = qobject_cast<const TFlatSpeedButton*>(widget);
        return cell ? cell->Caption() : QString();
    });
    Form1.adjustSize();
    const QRect screen = Form1.screen()->availableGeometry();
    Form1.move(screen.center() - Form1.rect().center());
    Form1.show();
    Form1.activateWindow();
    return application.exec();
}
