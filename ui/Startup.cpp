#include "Startup.h"

#include "AccessKeyStyle.h"
#include "KeyRepeatFilter.h"
#include "Unit1.h"
#include "WindowLook.h"

#include <QApplication>
#include <QIcon>

void PrepareApplication()
{
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Tovratovratovra"));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    QApplication::setStyle(new AccessKeyStyle);
    qApp->installEventFilter(new KeyRepeatFilter(qApp));
}

void ShowMainWindow(TForm1& form)
{
    form.adjustSize();
    CentreOnScreen(&form);
    form.show();
    form.activateWindow();
}
