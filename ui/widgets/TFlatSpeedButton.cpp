#include "ui/widgets/TFlatSpeedButton.h"

#include "ui/widgets/Look.h"
#include "ui/widgets/StateShapes.h"

#include <QCursor>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimerEvent>
#include <qdrawutil.h>

#include <algorithm>

namespace {

constexpr int HoverPollMs = 100;
constexpr int CaptionInset = 2;

int clampToUnsigned16(int ms) { return std::clamp(ms, 0, 65535); }

} // namespace

TFlatSpeedButton::TFlatSpeedButton(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    // Moves without a button held are needed to turn the button hot.
    setMouseTracking(true);
    // Not marked opaque, though paintEvent fills every pixel: a hundred opaque cells make each
    // full paint cut a hole per cell out of the region beneath, a region copy per cell and a
    // clip of several hundred KB for the square behind them. The square under a cell costs one
    // fill.
}

QString TFlatSpeedButton::Caption() const { return m_caption; }

void TFlatSpeedButton::SetCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateGeometry();
    update();
}

QColor TFlatSpeedButton::Color() const
{
    if (m_color)
        return *m_color;
    const QWidget* holder = parentWidget();
    return (holder ? holder->palette() : palette()).color(QPalette::Window);
}

void TFlatSpeedButton::SetColor(const QColor& color)
{
    m_color = color;
    update();
}

bool TFlatSpeedButton::Bold() const { return font().bold(); }

void TFlatSpeedButton::SetBold(bool bold)
{
    if (bold == Bold())
        return;
    QFont f = font();
    f.setBold(bold);
    setFont(f); // schedules the repaint itself
}

TFlatSpeedButton::TButtonStyle TFlatSpeedButton::ButtonStyle() const { return m_buttonStyle; }

void TFlatSpeedButton::SetButtonStyle(TButtonStyle style)
{
    m_buttonStyle = style;
    update();
}

bool TFlatSpeedButton::RepeatedClick() const { return m_repeatedClick; }

void TFlatSpeedButton::SetRepeatedClick(bool on)
{
    m_repeatedClick = on;
    if (!on)
        RepeatTimer.stop();
}

int TFlatSpeedButton::RepeatingDelay() const { return m_repeatingDelay; }
void TFlatSpeedButton::SetRepeatingDelay(int ms) { m_repeatingDelay = clampToUnsigned16(ms); }
int TFlatSpeedButton::RepeatingInterval() const { return m_repeatingInterval; }
void TFlatSpeedButton::SetRepeatingInterval(int ms) { m_repeatingInterval = clampToUnsigned16(ms); }

QColor TFlatSpeedButton::EnterColor() const
{
    return m_enterColor.value_or(palette().color(QPalette::HighlightedText));
}

void TFlatSpeedButton::SetEnterColor(const QColor& color)
{
    m_enterColor = color;
    update();
}

bool TFlatSpeedButton::EnterColorChange() const { return m_enterColorChange; }

void TFlatSpeedButton::SetEnterColorChange(bool on)
{
    m_enterColorChange = on;
    update();
}

bool TFlatSpeedButton::CtlXP() const { return m_ctlXP; }

void TFlatSpeedButton::SetCtlXP(bool on)
{
    m_ctlXP = on;
    update();
}

int TFlatSpeedButton::GroupIndex() const { return m_groupIndex; }
void TFlatSpeedButton::SetGroupIndex(int index) { m_groupIndex = index; }
bool TFlatSpeedButton::AllowAllUp() const { return m_allowAllUp; }
void TFlatSpeedButton::SetAllowAllUp(bool on) { m_allowAllUp = on; }

bool TFlatSpeedButton::Suggested() const { return m_suggested; }

void TFlatSpeedButton::SetSuggested(bool on)
{
    if (on == m_suggested)
        return;
    m_suggested = on;
    update();
}

void TFlatSpeedButton::SetStateShapes(int shapes)
{
    if (shapes == m_stateShapes)
        return;
    m_stateShapes = shapes;
    update();
}

TFlatSpeedButton::VisualState TFlatSpeedButton::State() const { return m_state; }
TFlatSpeedButton::VisualState TFlatSpeedButton::PreviousState() const { return m_previousState; }
bool TFlatSpeedButton::PressActive() const { return m_pressActive; }
bool TFlatSpeedButton::RepeatTimerActive() const { return RepeatTimer.isActive(); }
bool TFlatSpeedButton::HoverTimerActive() const { return HoverTimer.isActive(); }

void TFlatSpeedButton::PressAndRelease(Qt::MouseButton button)
{
    if (m_pressActive)
        return;
    const QPoint at = rect().center();
    const QPointer<TFlatSpeedButton> alive(this);
    const bool clicks = button == Qt::LeftButton;

    emit OnMouseDown(this, button, Qt::NoModifier, at.x(), at.y());
    if (!alive)
        return;
    if (clicks && m_repeatedClick) {
        emit OnClick(this);
        if (!alive)
            return;
    }
    emit OnMouseUp(this, button, Qt::NoModifier, at.x(), at.y());
    if (alive && clicks && !m_repeatedClick)
        emit OnClick(this);
}

QKeySequence TFlatSpeedButton::Shortcut() const { return m_shortcut ? m_shortcut->key() : QKeySequence(); }

void TFlatSpeedButton::SetShortcut(const QKeySequence& keys)
{
    delete m_shortcut;
    m_shortcut = nullptr;
    if (keys.isEmpty())
        return;
    // Window-wide: the key works wherever the focus is in the button's window, and not while
    // a modal window is open over it.
    m_shortcut = new QShortcut(keys, this, this, [this] { PressAndRelease(Qt::LeftButton); }, Qt::WindowShortcut);
    m_shortcut->setAutoRepeat(false);
}

bool TFlatSpeedButton::HasKeyboardCursor() const { return m_hasKeyboardCursor; }
void TFlatSpeedButton::SetHasKeyboardCursor(bool on) { m_hasKeyboardCursor = on; }

bool TFlatSpeedButton::ReportsPress() const
{
    return isSignalConnected(QMetaMethod::fromSignal(&TFlatSpeedButton::OnMouseDown));
}

QSize TFlatSpeedButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(m_caption) + 4 * CaptionInset + 8;
    const int height = metrics.height() + 4 * CaptionInset;
    return QSize(width, height).expandedTo(minimumSizeHint());
}

QSize TFlatSpeedButton::minimumSizeHint() const { return QSize(19, 19); }

void TFlatSpeedButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    press(event);
}

// The second press of a double click is an ordinary press.
void TFlatSpeedButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    press(event);
}

void TFlatSpeedButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    release(event);
}

void TFlatSpeedButton::press(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    const QPointer<TFlatSpeedButton> alive(this);

    emit OnMouseDown(this, button, event->modifiers(), at.x(), at.y());
    if (!alive || button != Qt::LeftButton)
        return;

    m_pressActive = true;
    if (m_repeatedClick) {
        // A cell clicks at the press, so the release handler already sees the new number.
        emit OnClick(this);
        // A click handler running its own event loop may have seen the release already.
        if (!alive || !m_pressActive)
            return;
        RepeatTimer.start(m_repeatingDelay, this);
        m_repeatTimerInterval = m_repeatingDelay;
    }
    setState(VisualState::Pushed);
}

void TFlatSpeedButton::release(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const QPointer<TFlatSpeedButton> alive(this);
    const bool endsPress = m_pressActive;

    // The press is still unfinished while the handler runs (timer alive, still Pushed):
    // a modal window opened here keeps receiving the repeated clicks.
    emit OnMouseUp(this, event->button(), event->modifiers(), at.x(), at.y());
    if (!alive || !endsPress || !m_pressActive)
        return;

    m_pressActive = false;
    RepeatTimer.stop();
    const bool over = rect().contains(at);
    setState(over ? VisualState::Hot : VisualState::Up);
    if (over && !m_repeatedClick)
        emit OnClick(this);
}

void TFlatSpeedButton::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const bool over = rect().contains(event->position().toPoint());
    if (m_pressActive)
        setState(over ? VisualState::Pushed : VisualState::Up);
    else if (over && m_state == VisualState::Up)
        setState(VisualState::Hot);
    else if (!over && m_state == VisualState::Hot)
        setState(VisualState::Up);
}

void TFlatSpeedButton::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (!m_pressActive && m_state == VisualState::Up)
        setState(VisualState::Hot);
}

void TFlatSpeedButton::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (!m_pressActive && m_state == VisualState::Hot)
        setState(VisualState::Up);
}

// A hidden button cannot be under the pointer; this also stops its HoverTimer.
void TFlatSpeedButton::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!m_pressActive && m_state == VisualState::Hot)
        setState(VisualState::Up);
}

void TFlatSpeedButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // An unset Color follows the holder's background.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
        update();
}

void TFlatSpeedButton::repeatTick()
{
    // Off the button the tick is lost and the interval stays as it was.
    if (m_state != VisualState::Pushed)
        return;
    if (m_repeatTimerInterval != m_repeatingInterval) {
        RepeatTimer.start(m_repeatingInterval, this);
        m_repeatTimerInterval = m_repeatingInterval;
    }
    emit OnClick(this);
}

void TFlatSpeedButton::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == RepeatTimer.timerId())
        repeatTick();
    else if (event->timerId() == HoverTimer.timerId())
        hoverTick();
    else
        QWidget::timerEvent(event);
}

// Catches a pointer that left without a leave notice.
void TFlatSpeedButton::hoverTick()
{
    if (m_state != VisualState::Hot) {
        HoverTimer.stop();
        return;
    }
    if (!isVisible() || !rect().contains(mapFromGlobal(QCursor::pos())))
        setState(VisualState::Up);
}

bool TFlatSpeedButton::looksTheSame(VisualState a, VisualState b) const
{
    // Without the style's hot look, the plain raised frame is the same for Up and Hot.
    const bool upAndHot = (a == VisualState::Up && b == VisualState::Hot)
        || (a == VisualState::Hot && b == VisualState::Up);
    return upAndHot && m_buttonStyle == ubsWin40 && !m_ctlXP;
}

void TFlatSpeedButton::setState(VisualState state)
{
    if (state == m_state)
        return;
    m_previousState = m_state;
    m_state = state;

    if (state == VisualState::Hot) {
        if (!HoverTimer.isActive())
            HoverTimer.start(HoverPollMs, this);
    } else {
        HoverTimer.stop();
    }

    // State changes are drawn now, not at the window's next repaint.
    if (!looksTheSame(m_previousState, m_state))
        repaint();
}

QColor TFlatSpeedButton::captionColor() const
{
    if (m_enterColorChange && m_state != VisualState::Up)
        return EnterColor();
    return palette().color(QPalette::WindowText);
}

// Fills whole logical pixels, so the frame stays one logical pixel wide at any scale, and one
// zoomed pixel wide at any zoom.
void TFlatSpeedButton::drawOutlineFrame(QPainter& painter) const
{
    if (m_state == VisualState::Up)
        return;
    const Look& look = Appearance::Of(this);
    const int p = look.Px(1);
    const int w = width();
    const int h = height();
    if (w < 2 * p || h < 2 * p)
        return;

    const QColor outline = look.Fill(Qt::black);
    painter.fillRect(0, 0, w, p, outline);
    painter.fillRect(0, h - p, w, p, outline);
    painter.fillRect(0, 0, p, h, outline);
    painter.fillRect(w - p, 0, p, h, outline);

    if (w < 4 * p || h < 4 * p)
        return;
    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    const bool raised = m_state == VisualState::Hot;
    const QColor& topLeft = raised ? highlight : shadow;
    const QColor& bottomRight = raised ? shadow : highlight;
    // Inner edge on the ring from (1,1) to (w-2,h-2); the top-right and bottom-left corners
    // belong to the bottom-right and top-left colours, as in a classic 3-D frame.
    painter.fillRect(p, p, w - 3 * p, p, topLeft);
    painter.fillRect(p, p, p, h - 2 * p, topLeft);
    painter.fillRect(w - 2 * p, p, p, h - 2 * p, bottomRight);
    painter.fillRect(2 * p, h - 2 * p, w - 3 * p, p, bottomRight);
}

// Two logical pixels wide, one pixel in from the edge: the hover frame's outer line still
// shows around it, and a free cell's face stays visible in the middle.
void TFlatSpeedButton::drawSuggestionRing(QPainter& painter) const
{
    const Look& look = Appearance::Of(this);
    const int p = look.Px(1);
    const int r = look.Px(2);
    const int w = width();
    const int h = height();
    if (w < 6 * p || h < 6 * p)
        return;
    const QColor ring = look.Fill(SuggestionRingColor());
    painter.fillRect(p, p, w - 2 * p, r, ring);
    painter.fillRect(p, h - p - r, w - 2 * p, r, ring);
    painter.fillRect(p, p + r, r, h - 2 * (p + r), ring);
    painter.fillRect(w - p - r, p + r, r, h - 2 * (p + r), ring);
}

void TFlatSpeedButton::drawWin40Frame(QPainter& painter, const QColor& face) const
{
    const bool pushed = m_state == VisualState::Pushed;
    if (!m_ctlXP) {
        qDrawWinButton(&painter, rect(), palette(), pushed, nullptr);
        return;
    }
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = rect();
    option.features = QStyleOptionButton::None;
    option.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
    option.state |= pushed ? QStyle::State_Sunken : QStyle::State_Raised;
    if (m_state == VisualState::Hot)
        option.state |= QStyle::State_MouseOver;
    // The style paints its face from the Button role.
    option.palette.setColor(QPalette::Button, face);
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
}

void TFlatSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Look& look = Appearance::Of(this);
    // Colours of its own are classic ones, drawn in the look's scheme; an unset face is the
    // holder's background, which is in the scheme already.
    const QColor face = m_color ? look.Fill(*m_color) : Color();
    painter.fillRect(rect(), face);

    if (m_buttonStyle == ubsOutlineFlat)
        drawOutlineFrame(painter);
    else
        drawWin40Frame(painter, face);
    if (m_suggested)
        drawSuggestionRing(painter);
    const bool ownInk = (m_enterColorChange && m_state != VisualState::Up) || testAttribute(Qt::WA_SetPalette);
    const QColor ink = ownInk ? look.Ink(captionColor()) : captionColor();
    if (look.shapes)
        DrawStateShapes(painter, rect(), m_stateShapes, face, !m_caption.isEmpty(), look);

    if (m_caption.isEmpty())
        return;
    const int inset = look.Px(CaptionInset);
    QRect captionRect = rect().adjusted(inset, inset, -inset, -inset);
    if (m_state == VisualState::Pushed)
        captionRect.translate(look.Px(1), look.Px(1));
    painter.setFont(font());
    painter.setPen(ink);
    // Not clipped to the caption rectangle, only to the button: a bold "100" on a cell
    // runs over the border.
    painter.drawText(captionRect, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, m_caption);
}
