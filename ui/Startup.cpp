#include "Startup.h"

#include "AccessKeyStyle.h"
#include "KeyRepeatFilter.h"
#include "Unit1.h"
#include "WindowLook.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {
// What the message handler needs while the application object is made: the toolkit's handler
// takes nothing of ours, so this lives only for that moment.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
struct Opening {
    std::string failure; // the line to print if no window can be opened
    std::vector<HeldMessage> held;
    int standardError = -1; // the real standard error while the libraries' own lines are held
};
Opening* opening = nullptr;

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string FailureLine()
{
    const std::string display = Environment("DISPLAY");
    const std::string wayland = Environment("WAYLAND_DISPLAY");
    std::string where;
    if (!display.empty())
        where = " on display \"" + display + "\"";
    else if (!wayland.empty())
        where = " on the Wayland display \"" + wayland + "\"";
    else
        where = ": no display (DISPLAY is not set)";
    return "tovratovratovra: cannot open a window" + where;
}

// The toolkit reports a display it cannot reach with warnings and then a fatal message, which
// aborts (and dumps core). Its warnings are held back; the fatal message becomes one line.
void HoldWhileOpening(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        if (opening->standardError >= 0)
            dup2(opening->standardError, STDERR_FILENO);
        std::fprintf(stderr, "%s\n", opening->failure.c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    opening->held.push_back({type, context.category ? context.category : "", text});
}
} // namespace

std::unique_ptr<QApplication> OpenApplication(int& argc, char** argv)
{
    Opening state{FailureLine(), {}};
    // The X library writes its own complaint ("Authorization required ...") straight to
    // standard error: that goes to a file meanwhile, and back out if the window opens.
    std::FILE* libraryLines = std::tmpfile();
    std::fflush(stderr);
    state.standardError = libraryLines ? dup(STDERR_FILENO) : -1;
    if (state.standardError >= 0)
        dup2(fileno(libraryLines), STDERR_FILENO);
    opening = &state;
    const QtMessageHandler previous = qInstallMessageHandler(HoldWhileOpening);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    opening = nullptr;
    if (state.standardError >= 0) {
        std::fflush(stderr);
        dup2(state.standardError, STDERR_FILENO);
        close(state.standardError);
        std::rewind(libraryLines);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, libraryLines)) > 0;)
            std::fwrite(buffer, 1, n, stderr);
    }
    if (libraryLines)
        std::fclose(libraryLines);
    // The window opens after all: what the toolkit said meanwhile is said as usual.
    for (const HeldMessage& message : state.held)
        qt_message_output(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.c_str()), message.text);
    return application;
}

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
