#include "TFlatSpeedButtonAccessible.h"

#include "TFlatSpeedButton.h"

#include <QApplication>
#include <QTimer>

namespace {
QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TFlatSpeedButton") && object && object->isWidgetType())
        return new TFlatSpeedButtonAccessible(static_cast<TFlatSpeedButton*>(object));
    return nullptr;
}

// A modal window keeps the mouse from the windows behind it; actions must not slip past it
// either (the end-of-game dialog reads a board that cannot change under it).
bool BehindAModalWindow(const QWidget* widget)
{
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != widget->window() && !modal->isAncestorOf(widget);
}
} // namespace

TFlatSpeedButtonAccessible::TFlatSpeedButtonAccessible(TFlatSpeedButton* button)
    : QAccessibleWidget(button, QAccessible::Button)
{
}

TFlatSpeedButton* TFlatSpeedButtonAccessible::button() const { return static_cast<TFlatSpeedButton*>(widget()); }

QString TFlatSpeedButtonAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name) {
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? button()->Caption() : name;
    }
    if (t == QAccessible::Accelerator)
        return button()->Shortcut().toString(QKeySequence::NativeText);
    return QAccessibleWidget::text(t);
}

QAccessible::State TFlatSpeedButtonAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    if (button()->HasKeyboardCursor()) {
        state.focusable = true;
        state.focused = true;
    }
    return state;
}

QStringList TFlatSpeedButtonAccessible::actionNames() const
{
    QStringList names{pressAction()};
    if (button()->ReportsPress())
        names << showMenuAction();
    return names;
}

void TFlatSpeedButtonAccessible::doAction(const QString& actionName)
{
    const Qt::MouseButton which = actionName == pressAction()                              ? Qt::LeftButton
                                  : actionName == showMenuAction() && button()->ReportsPress() ? Qt::RightButton
                                                                                               : Qt::NoButton;
    if (which == Qt::NoButton)
        return;
    // Later, from the event loop: a press may open a modal window (the end of a game), and the
    // assistive technology's call must not wait for it to close.
    TFlatSpeedButton* target = button();
    QTimer::singleShot(0, target, [target, which] {
        if (!BehindAModalWindow(target))
            target->PressAndRelease(which);
    });
}

QStringList TFlatSpeedButtonAccessible::keyBindingsForAction(const QString& actionName) const
{
    const QKeySequence keys = button()->Shortcut();
    if (actionName != pressAction() || keys.isEmpty())
        return {};
    return {keys.toString(QKeySequence::NativeText)};
}

void TFlatSpeedButtonAccessible::Install()
{
    static const bool installed = (QAccessible::installFactory(Factory), true);
    (void)installed;
}
