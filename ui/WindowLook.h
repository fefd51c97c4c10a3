#pragma once
// The look every window of the game shares: the pale orange background, the 11-pixel sans,
// centring on the screen, and colour conversion from the game's 0x00BBGGRR values.
#include "core/Colors.h"

#include <QColor>
#include <QFont>

class QWidget;

QColor ToQColor(tovra::Color color);
// The windows' 11-pixel sans: Liberation Sans, from a font package the set-up installs.
QFont WindowFont();
// The bold sans of the end-of-game dialog's score lines, at a pixel size.
QFont HeadlineFont(int pixelSize);
// Window colour background and window font.
void ApplyWindowLook(QWidget* window);
// The window colour background alone, for a window whose font goes to part of it.
void ApplyWindowBackground(QWidget* window);
void CentreOnScreen(QWidget* window);
