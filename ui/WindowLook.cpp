#include "WindowLook.h"

#include <QScreen>
#include <QWidget>

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

void ApplyWindowBackground(QWidget* window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, ToQColor(tovra::WindowColor));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void ApplyWindowLook(QWidget* window)
{
    ApplyWindowBackground(window);
    window->setFont(WindowFont());
}

void CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
