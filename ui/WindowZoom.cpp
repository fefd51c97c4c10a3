#include "WindowZoom.h"

#include "WindowLook.h"
#include "ui/widgets/Look.h"

#include <QMenu>
#include <QHeaderView>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace {
// What a widget was at the actual size, and what the last zoom made of it.
constexpr char BaseGeometry[] = "tovraZoomBaseGeometry";
constexpr char ZoomedGeometry[] = "tovraZoomedGeometry";
constexpr char BaseMinimum[] = "tovraZoomBaseMinimum";
constexpr char BaseMaximum[] = "tovraZoomBaseMaximum";
constexpr char ZoomedMinimum[] = "tovraZoomedMinimum";
constexpr char ZoomedMaximum[] = "tovraZoomedMaximum";
constexpr char BaseFont[] = "tovraZoomBaseFont";
constexpr char ZoomedFont[] = "tovraZoomedFont";
constexpr char WindowZoom[] = "tovraWindowZoom";

int Scale(int length, qreal zoom)
{
    if (length >= QWIDGETSIZE_MAX)
        return QWIDGETSIZE_MAX;
    return static_cast<int>(std::lround(length * zoom));
}

QSize Scale(QSize size, qreal zoom) { return {Scale(size.width(), zoom), Scale(size.height(), zoom)}; }

// The actual-size value of something last set to `zoomed` by us (the remembered base), or
// set to `now` by the widget's own code at `previousZoom`.
template <class T, class Unzoom>
T BaseOf(QWidget* widget, const char* baseName, const char* zoomedName, const T& now, Unzoom unzoom)
{
    const QVariant zoomed = widget->property(zoomedName);
    if (zoomed.isValid() && zoomed.value<T>() == now)
        return widget->property(baseName).value<T>();
    const T base = unzoom(now);
    widget->setProperty(baseName, QVariant::fromValue(base));
    return base;
}

void ZoomFont(QWidget* widget, qreal zoom, qreal previousZoom, bool always)
{
    if (!always && !widget->testAttribute(Qt::WA_SetFont))
        return;
    QFont font = widget->font();
    const bool pixels = font.pixelSize() > 0;
    const qreal now = pixels ? font.pixelSize() : font.pointSizeF();
    const qreal base = BaseOf<qreal>(widget, BaseFont, ZoomedFont, now, [&](qreal size) { return size / previousZoom; });
    const qreal zoomed = pixels ? std::max<qreal>(1, std::lround(base * zoom)) : base * zoom;
    if (pixels)
        font.setPixelSize(static_cast<int>(zoomed));
    else
        font.setPointSizeF(zoomed);
    if (zoomed != now)
        widget->setFont(font);
    widget->setProperty(ZoomedFont, zoomed);
}

void ZoomSizes(QWidget* widget, qreal zoom, qreal previousZoom)
{
    const auto unzoom = [&](QSize size) { return Scale(size, 1 / previousZoom); };
    const QSize minimum = BaseOf<QSize>(widget, BaseMinimum, ZoomedMinimum, widget->minimumSize(), unzoom);
    const QSize maximum = BaseOf<QSize>(widget, BaseMaximum, ZoomedMaximum, widget->maximumSize(), unzoom);
    widget->setMinimumSize(Scale(minimum, zoom));
    widget->setMaximumSize(Scale(maximum, zoom));
    widget->setProperty(ZoomedMinimum, widget->minimumSize());
    widget->setProperty(ZoomedMaximum, widget->maximumSize());
}

void ZoomGeometry(QWidget* widget, const Look& look, qreal previousZoom)
{
    const QRect base = BaseOf<QRect>(widget, BaseGeometry, ZoomedGeometry, widget->geometry(), [&](QRect now) {
        return QRect(QPoint(Scale(now.left(), 1 / previousZoom), Scale(now.top(), 1 / previousZoom)),
                     Scale(now.size(), 1 / previousZoom));
    });
    widget->setGeometry(look.Scaled(base));
    widget->setProperty(ZoomedGeometry, widget->geometry());
}
} // namespace

void ZoomWindow(QWidget* window, const Look& look)
{
    const QVariant previous = window->property(WindowZoom);
    if (!previous.isValid() && look.zoomPercent == 100)
        return;
    const qreal previousZoom = previous.isValid() ? previous.toReal() : 1.0;
    const qreal zoom = look.Zoom();

    ZoomFont(window, zoom, previousZoom, true);
    ZoomSizes(window, zoom, previousZoom);
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const bool menu = qobject_cast<QMenu*>(widget) || qobject_cast<QMenuBar*>(widget);
        if (widget->isWindow() && !menu)
            continue; // a window of its own: it zooms itself
        if (widget->window() != window && !menu)
            continue;
        // A menu opens as a window of its own, which the window's font does not reach, and a
        // table's header takes its font from the style. Tables size their rows and columns
        // from their font themselves.
        ZoomFont(widget, zoom, previousZoom, qobject_cast<QMenu*>(widget) || qobject_cast<QHeaderView*>(widget));
        ZoomSizes(widget, zoom, previousZoom);
        if (!widget->isWindow())
            ZoomGeometry(widget, look, previousZoom);
    }
    window->setProperty(WindowZoom, zoom);
}

void ZoomDialog(QWidget* dialog)
{
    Look look = Appearance::Of(dialog);
    if (look.zoomPercent == 100)
        return;
    // The dialog's own look, which what it paints follows: measured at the actual size first,
    // then at the zoom it can have.
    auto* own = new Appearance(dialog);
    const auto use = [&](int percent) {
        Look at = look;
        at.zoomPercent = percent;
        own->Set(at);
        if (dialog->layout())
            dialog->layout()->invalidate();
    };
    use(100);
    if (const QScreen* screen = dialog->screen()) {
        const QSize room = screen->availableGeometry().size().shrunkBy(FrameMargins(dialog));
        const QSize actual = dialog->sizeHint().expandedTo(dialog->minimumSize());
        int fitting = 100;
        for (const int step : ZoomSteps) {
            const QSize zoomed = Scale(actual, step / 100.0);
            if (step <= look.zoomPercent && zoomed.boundedTo(room) == zoomed)
                fitting = step;
        }
        look.zoomPercent = fitting;
    }
    use(look.zoomPercent);
    ZoomWindow(dialog, look);
}
