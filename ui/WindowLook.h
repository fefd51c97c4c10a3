#pragma once
// The look every window of the game shares: the pale orange background, the 11-pixel sans,
// centring on the screen, and colour conversion from the game's 0x00BBGGRR values.
#include "core/Colors.h"
#include "ui/widgets/Look.h"

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QPoint>
#include <QRect>

class QWidget;

QColor ToQColor(tovra::Color color);
// The windows' 11-pixel sans: Liberation Sans, from a font package the set-up installs.
QFont WindowFont();
// The bold sans of the end-of-game dialog's score lines, at a pixel size.
QFont HeadlineFont(int pixelSize);
// The toolkit's colours for every window in a scheme: its own palette for Classic, one made for
// the others, with every text at least 4.5 : 1 against what it is written on.
void ApplyColourScheme(ColourScheme scheme);
// Window colour background and window font.
void ApplyWindowLook(QWidget* window);
// The window colour background alone, for a window whose font goes to part of it.
void ApplyWindowBackground(QWidget* window);
// Centres the window on its screen's available area; a window larger than that area is made to
// fit it first, as far as its minimum size allows, and then kept inside it from the top left.
void CentreOnScreen(QWidget* window);
// The top left of a window frame of `size` that leaves `anchor` in sight: beside it on the
// right, else on the left, else below, else above, inside `available`; where none of these
// fits, the right-hand place moved inside `available`.
QPoint PlaceBeside(const QRect& anchor, const QSize& size, const QRect& available);
// The room the window manager's frame takes around a window, as far as it is known yet (the
// frame of the window's parent window before it is shown, none without a window manager).
QMargins FrameMargins(const QWidget* window);
// A dialog whose least size does not fit its screen shows its contents in a scrolled area.
void ScrollWhenTooLarge(QWidget* window);
