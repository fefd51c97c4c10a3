#include "Startup.h"

#include "AccessKeyStyle.h"
#include "KeyRepeatFilter.h"
#include "Unit1.h"
#include "WindowLook.h"
#include "ui/widgets/TFlatSpeedButtonAccessible.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QResource>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// One size of the window icon, straight from its uncompressed 32-bit bitmap compiled into the
// program: going through the image readers would first load the list of image format plugins,
// which costs start-up more than all the pixels. Empty when the bitmap is not laid out so.
QPixmap WindowIconPixmap(int size)
{
    const QResource bitmap(QStringLiteral(":/icons/%1.bmp").arg(size));
    const uchar* bytes = bitmap.data();
    // File header, then a header with the channel masks (version 4 or later).
    constexpr qint64 HeadersSize = 14 + 56;
    if (!bytes || bitmap.compressionAlgorithm() != QResource::NoCompression || bitmap.size() < HeadersSize ||
        bytes[0] != 'B' || bytes[1] != 'M')
        return {};
    const auto field = [bytes](int at) { return qFromLittleEndian<quint32>(bytes + at); };
    constexpr quint32 ChannelMasks = 3;
    const bool straightBgra = Q_BYTE_ORDER == Q_LITTLE_ENDIAN && qFromLittleEndian<quint16>(bytes + 28) == 32 &&
                              field(30) == ChannelMasks && field(54) == 0x00FF0000 && field(58) == 0x0000FF00 &&
                              field(62) == 0x000000FF && field(66) == 0xFF000000;
    const quint32 pixelsAt = field(10);
    // A positive height: the bottom row comes first.
    if (!straightBgra || qint32(field(18)) != size || qint32(field(22)) != size ||
        pixelsAt + 4 * qint64(size) * size > bitmap.size())
        return {};
    // Blue, green, red, alpha in each pixel's bytes: QImage's ARGB32, on a little-endian machine.
    const QImage rows(bytes + pixelsAt, size, size, 4 * size, QImage::Format_ARGB32);
    return QPixmap::fromImage(rows.mirrored(false, true));
}


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
    TFlatSpeedButtonAccessible::Install();
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Tovratovratovra"));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128}) {
        if (const QPixmap pixmap = WindowIconPixmap(size); !pixmap.isNull())
            icon.addPixmap(pixmap);
        else
            icon.addFile(QStringLiteral(":/icons/%1.bmp").arg(size));
    }
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
