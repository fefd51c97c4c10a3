#include "AccessKeyStyle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

AccessKeyStyle::AccessKeyStyle() { QApplication::instance()->installEventFilter(this); }

int AccessKeyStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                              QStyleHintReturn* returnData) const
{
    if (hint == SH_UnderlineShortcut)
        return altHeld_ ? 1 : 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

bool AccessKeyStyle::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Alt's own press and release, and any key that comes with Alt already held or gone.
        if (key->key() == Qt::Key_Alt)
            setAltHeld(event->type() == QEvent::KeyPress);
        else
            setAltHeld(key->modifiers() & Qt::AltModifier);
        break;
    }
    case QEvent::ApplicationDeactivate:
        setAltHeld(false); // Alt+Tab: the release goes to another program
        break;
    default: break;
    }
    return QProxyStyle::eventFilter(watched, event);
}

void AccessKeyStyle::setAltHeld(bool held)
{
    if (held == altHeld_)
        return;
    altHeld_ = held;
    // Only the widgets that draw access keys need painting again.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        if (qobject_cast<QMenu*>(window))
            window->update();
        for (QWidget* child : window->findChildren<QWidget*>())
            if (qobject_cast<QMenuBar*>(child) || child->inherits("QAbstractButton") || child->inherits("QLabel"))
                child->update();
    }
}
