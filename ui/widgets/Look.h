#pragma once
// How the game's windows are drawn for this player: the zoom, the colour scheme and whether
// the board's cell states carry shapes as well as colours. The main window holds the player's
// Appearance; every widget finds it through its window and the windows that opened it, so a
// window made for a test, with no main window above it, draws as it always did.
#include <QColor>
#include <QObject>
#include <QRect>

class QWidget;

enum class ColourScheme { Classic, Dark, HighContrast };

struct Look {
    int zoomPercent = 100;
    ColourScheme colours = ColourScheme::Classic;
    bool shapes = false;

    qreal Zoom() const { return zoomPercent / 100.0; }
    // A length in the unzoomed window's pixels, at this zoom; one pixel never vanishes.
    int Px(int unzoomed) const;
    // A rectangle of the unzoomed window, at this zoom: both edges rounded, so that rectangles
    // that meet at the actual size still meet, and a 1-pixel gap stays at least 1 pixel.
    QRect Scaled(const QRect& unzoomed) const;
    // The scheme's colour for a classic colour that fills something (a face, a line, a background).
    QColor Fill(const QColor& classic) const;
    // The scheme's colour for a classic colour that text is written in.
    QColor Ink(const QColor& classic) const;
    // As the windows looked before anything could be changed.
    bool IsClassicAtActualSize() const { return zoomPercent == 100 && colours == ColourScheme::Classic && !shapes; }
    bool operator==(const Look&) const = default;
};

// The zoom steps, in per cent, from the actual size up.
inline constexpr int ZoomSteps[] = {100, 125, 150, 175, 200, 250, 300, 350, 400};

class Appearance : public QObject {
    Q_OBJECT

public:
    explicit Appearance(QObject* parent = nullptr) : QObject(parent) {}

    const Look& Current() const { return look_; }
    void Set(const Look& look);

    // The look `widget` is drawn in: the Appearance of its window or of the nearest window that
    // opened it; the classic look at the actual size when there is none.
    static const Look& Of(const QWidget* widget);

signals:
    void Changed();

private:
    Look look_;
};
