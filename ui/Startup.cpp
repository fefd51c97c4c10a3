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
#include <string_view>

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

// The toolkit reports a display it cannot reach with a warning, a note that the platform plugin
// did not load, and then a fatal message, which aborts (and dumps core). Those three say only
// that no window can be opened, so they become one line. The toolkit's handler takes nothing of
// ours: everything here is read from the message and the environment.
// The X library's own reason for a refusal ("Authorization required ...") goes to standard
// error as it is, before that line: it says why, and catching it would mean sending standard
// error to a file at every start.
bool OnlyTellsOfNoWindow(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const std::string_view category = context.category ? context.category : "";
    return (category == "qt.qpa.xcb" && type == QtWarningMsg &&
            text.startsWith(QLatin1String("could not connect to display"))) ||
           (category == "qt.qpa.plugin" && text.startsWith(QLatin1String("Could not load the Qt platform plugin")));
}

void ReportWhileOpening(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", FailureLine().c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (OnlyTellsOfNoWindow(type, context, text))
        return;
    // Said the usual way: the toolkit's own handler, put back for this one message.
    qInstallMessageHandler(nullptr);
    qt_message_output(type, context, text);
    qInstallMessageHandler(ReportWhileOpening);
}
} // namespace

StartupReporter::StartupReporter()
    : previous_(qInstallMessageHandler(ReportWhileOpening))
{
}

StartupReporter::~StartupReporter()
{
    qInstallMessageHandler(previous_);
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
