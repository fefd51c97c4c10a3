#pragma once

#include <QColor>
#include <QKeySequence>
#include <QString>
#include <QBasicTimer>
#include <QWidget>

#include <optional>

class QEnterEvent;
class QMouseEvent;
class QPainter;
class QPaintEvent;
class QShortcut;

// The ring of a suggested cell: a purple that no cell colour, no frame and not the blue
// keyboard cursor uses.
inline QColor SuggestionRingColor() { return QColor(0x8E, 0x24, 0xAA); }

// The flat push button of the board cells and of every command button.
//
// It draws on its parent's surface (no native window), never takes the keyboard focus and
// reports press, click and release in the order the game relies on:
//  - RepeatedClick on (cells): down, click at the press, a click again after RepeatingDelay
//    and then every RepeatingInterval while the left button is held over it, up at the
//    release and no click there;
//  - RepeatedClick off (command buttons): down, up, then click if released over it.
// Right and middle buttons only ever report down and up.
// Keys reach it only through PressAndRelease: a shortcut of its own, or its window's keyboard
// cursor, or assistive technology.
class TFlatSpeedButton : public QWidget {
    Q_OBJECT
public:
    enum TButtonStyle { ubsWin40, ubsOutlineFlat };
    enum class VisualState { Up, Hot, Pushed };

    explicit TFlatSpeedButton(QWidget* parent = nullptr);

    QString Caption() const;
    void SetCaption(const QString& caption);

    // Face colour. Until set it is the parent's background (palette Window role of the
    // parent) and follows it; setting it ends that link. Given back exactly as set.
    QColor Color() const;
    void SetColor(const QColor& color);

    // Bold flag of the widget's font.
    bool Bold() const;
    void SetBold(bool bold);

    TButtonStyle ButtonStyle() const;
    void SetButtonStyle(TButtonStyle style);

    bool RepeatedClick() const;
    void SetRepeatedClick(bool on);
    int RepeatingDelay() const;
    void SetRepeatingDelay(int ms);     // 0..65535
    int RepeatingInterval() const;
    void SetRepeatingInterval(int ms);  // 0..65535

    // Caption colour in the Hot and Pushed states, used only while EnterColorChange is on.
    // Until set it is the palette's HighlightedText colour.
    QColor EnterColor() const;
    void SetEnterColor(const QColor& color);
    bool EnterColorChange() const;
    void SetEnterColorChange(bool on);

    // ubsWin40 only: draw with the widget style's push button (hot look included) instead
    // of the plain 2-pixel raised and sunken frames.
    bool CtlXP() const;
    void SetCtlXP(bool on);

    // Group 0 makes a plain push button that never stays down, and no button joins another
    // group, so neither property changes the behaviour; they only carry a button's settings
    // (the cells set AllowAllUp).
    int GroupIndex() const;
    void SetGroupIndex(int index);
    bool AllowAllUp() const;
    void SetAllowAllUp(bool on);

    // A ring just inside the border that points the player at this cell, drawn over the
    // face so the face colour keeps its meaning. Cells only; off by default.
    bool Suggested() const;
    void SetSuggested(bool on);

    VisualState State() const;
    VisualState PreviousState() const;
    // A left press has been accepted and its release has not finished yet.
    bool PressActive() const;
    bool RepeatTimerActive() const;
    bool HoverTimerActive() const;

    // What a press and release of `button` over the middle of the button do, for keys and
    // assistive technology: the same handlers in the same order (down, click, up on a cell;
    // down, up, click on a command button), without the pushed look or repeated clicks.
    // Ignored while a mouse press on this button is still in progress.
    void PressAndRelease(Qt::MouseButton button);

    // A window-wide key that presses and releases the button with the left button; empty
    // for none.
    QKeySequence Shortcut() const;
    void SetShortcut(const QKeySequence& keys);

    // The window's keyboard cursor stands on this button: assistive technology sees it as
    // the focused control. Drawing the cursor is the window's business.
    bool HasKeyboardCursor() const;
    void SetHasKeyboardCursor(bool on);

    // The StateShape bits of the cell's states, drawn while the look asks for shapes: where the
    // next number may go, the marked cell, the last number.
    int StateShapes() const { return m_stateShapes; }
    void SetStateShapes(int shapes);

    // Something listens to the press: a right press can do something (cells mark with it).
    bool ReportsPress() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void OnMouseDown(TFlatSpeedButton* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnClick(TFlatSpeedButton* sender);
    void OnMouseUp(TFlatSpeedButton* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void press(QMouseEvent* event);
    void release(QMouseEvent* event);
    // The only place the visual state changes: runs HoverTimer and draws at once.
    void setState(VisualState state);
    void repeatTick();
    void hoverTick();
    bool looksTheSame(VisualState a, VisualState b) const;
    QColor captionColor() const;
    void drawOutlineFrame(QPainter& painter) const;
    void drawWin40Frame(QPainter& painter, const QColor& face) const;
    void drawSuggestionRing(QPainter& painter) const;

    QString m_caption;
    std::optional<QColor> m_color;
    std::optional<QColor> m_enterColor;
    TButtonStyle m_buttonStyle = ubsWin40;
    bool m_repeatedClick = false;
    int m_repeatingDelay = 500;
    int m_repeatingInterval = 100;
    bool m_enterColorChange = false;
    bool m_ctlXP = true;
    int m_groupIndex = 0;
    bool m_allowAllUp = false;
    bool m_suggested = false;
    int m_stateShapes = 0;

    VisualState m_state = VisualState::Up;
    VisualState m_previousState = VisualState::Up;
    bool m_pressActive = false;
    bool m_hasKeyboardCursor = false;
    QShortcut* m_shortcut = nullptr;
    // Both are event-loop timers, so they also tick inside modal windows opened by a handler.
    // Plain timer ids rather than timer objects: a board makes a hundred buttons at start-up.
    QBasicTimer RepeatTimer;
    int m_repeatTimerInterval = 0;
    QBasicTimer HoverTimer;
};
