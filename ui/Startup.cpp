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
    if (!bytes || bitmap.compressionAlgorithm() != QResource::NoCompression || bitmap.size() < HeadersSize || bytes[0] != 'B' || bytes[1] != 'M')
        return {};
    const auto field = [bytes](int at) { return qFromLittleEndian<quint32>(bytes + at); };
    constexpr quint32 ChannelMasks = 3;
    const bool straightBgra = Q_BYTE_ORDER == Q_LITTLE_ENDIAN && qFromLittleEndian<quint16>(bytes + 28) == 32 && field(30) == ChannelMasks &&
                              field(54) == 0x00FF0000 && field(58) == 0x0000FF00 && field(62) == 0x000000FF &&
                              field(66) == 0xFF000000;
    const quint32 pixelsAt = field(10);
    // A positive height: the bottom row comes first.
    if (!straightBgra || qint32(field(18)) != size || qint32(field(22)) != size ||
        pixelsAt + 4 * qint64(size) * size > bitmap.size())
        return {};
    // Blue, green, red, alpha in each pixel's bytes: QImage's ARGB32, on a little-endian machine.
    const QImage rows(bytes + pixelsAt, size, size, 4 * size, QImage::Format_ARGB32);
    return QPixmap::fromImage(rows.mirrored(false, true));
}

} // namespace

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
