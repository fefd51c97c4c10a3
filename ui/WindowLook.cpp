#include "WindowLook.h"

#include <QApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

QColor ToQColor(tovra::Color color) { return QColor(tovra::RedOf(color), tovra::GreenOf(color), tovra::BlueOf(color)); }

QFont WindowFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont HeadlineFont(int pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    return font;
}

void ApplyColourScheme(ColourScheme scheme)
{
    static const QPalette toolkit = QApplication::palette();
    if (scheme == ColourScheme::Classic) {
        if (QApplication::palette() != toolkit)
            QApplication::setPalette(toolkit);
        return;
    }
    const bool dark = scheme == ColourScheme::Dark;
    const QColor window = dark ? QColor(0x2B, 0x2A, 0x33) : QColor(Qt::black);
    const QColor text = dark ? QColor(0xF2, 0xF2, 0xF2) : QColor(Qt::white);
    const QColor base = dark ? QColor(0x1E, 0x1D, 0x24) : QColor(Qt::black);
    const QColor button = dark ? QColor(0x3E, 0x3D, 0x47) : QColor(Qt::black);
    QPalette palette(button, window);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, dark ? QColor(0x2E, 0x2D, 0x36) : QColor(0x1A, 0x1A, 0x1A));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, dark ? QColor(0xFF, 0x9A, 0x8F) : QColor(0xFF, 0xD0, 0x00));
    palette.setColor(QPalette::Light, dark ? QColor(0x6A, 0x69, 0x75) : QColor(Qt::white));
    palette.setColor(QPalette::Midlight, dark ? QColor(0x55, 0x54, 0x60) : QColor(0xC0, 0xC0, 0xC0));
    palette.setColor(QPalette::Mid, dark ? QColor(0x44, 0x43, 0x4D) : QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Dark, dark ? QColor(0x18, 0x17, 0x1D) : QColor(Qt::white));
    palette.setColor(QPalette::Shadow, QColor(Qt::black));
    palette.setColor(QPalette::Highlight, dark ? QColor(0x2D, 0x5F, 0xA8) : QColor(0xFF, 0xFF, 0x00));
    palette.setColor(QPalette::HighlightedText, dark ? QColor(Qt::white) : QColor(Qt::black));
    palette.setColor(QPalette::Link, dark ? QColor(0x8A, 0xB4, 0xF8) : QColor(0x00, 0xFF, 0xFF));
    palette.setColor(QPalette::LinkVisited, dark ? QColor(0xC5, 0x9B, 0xF5) : QColor(0xFF, 0x80, 0xFF));
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dark ? QColor(0xB0, 0xB0, 0xB0) : QColor(0xC0, 0xC0, 0xC0));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dark ? QColor(0x9A, 0x9A, 0xA4) : QColor(0xA0, 0xA0, 0xA0));
    QApplication::setPalette(palette);
}

void ApplyWindowBackground(QWidget* window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Appearance::Of(window).Fill(ToQColor(tovra::WindowColor)));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void ApplyWindowLook(QWidget* window)
{
    ApplyWindowBackground(window);
    window->setFont(WindowFont());
}

QMargins FrameMargins(const QWidget* window)
{
    const QWidget* measured = window;
    if (!window->isVisible() && window->parentWidget())
        measured = window->parentWidget()->window();
    const QRect frame = measured->frameGeometry();
    const QRect inside = measured->geometry();
    return {inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
            frame.bottom() - inside.bottom()};
}

void CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QMargins margins = FrameMargins(window);
    const QSize room = available.size().shrunkBy(margins);
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room).expandedTo(window->minimumSize()));
    QRect frame = window->geometry().marginsAdded(margins);
    frame.moveCenter(available.center());
    // Larger than the screen even so: its title bar and top left stay reachable.
    frame.moveLeft(std::max(frame.left(), available.left()));
    frame.moveTop(std::max(frame.top(), available.top()));
    window->move(frame.topLeft());
}

QPoint PlaceBeside(const QRect& anchor, const QSize& size, const QRect& available)
{
    const int top = std::clamp(anchor.top(), available.top(), std::max(available.top(), available.bottom() + 1 - size.height()));
    const int left = std::clamp(anchor.left(), available.left(), std::max(available.left(), available.right() + 1 - size.width()));
    const QPoint places[] = {
        {anchor.right() + 1, top},
        {anchor.left() - size.width(), top},
        {left, anchor.bottom() + 1},
        {left, anchor.top() - size.height()},
    };
    for (const QPoint& place : places) {
        if (available.contains(QRect(place, size)))
            return place;
    }
    return {std::clamp(places[0].x(), available.left(), std::max(available.left(), available.right() + 1 - size.width())), top};
}

void ScrollWhenTooLarge(QWidget* window)
{
    const QScreen* screen = window->screen();
    QLayout* contents = window->layout();
    if (!screen || !contents)
        return;
    const QSize room = screen->availableGeometry().size().shrunkBy(FrameMargins(window));
    const QSize least = contents->totalMinimumSize();
    if (least.width() <= room.width() && least.height() <= room.height())
        return;
    auto* inner = new QWidget;
    inner->setLayout(contents); // takes the layout and its widgets from the window
    auto* scroll = new QScrollArea(window);
    scroll->setObjectName(QStringLiteral("ScrolledContents"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(inner);
    // The window's own background behind the contents.
    scroll->viewport()->setAutoFillBackground(false);
    inner->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    window->setMinimumSize(0, 0);
    window->resize(contents->sizeHint().grownBy(QMargins(0, 0, bar + 2, bar + 2)).boundedTo(room));
}
