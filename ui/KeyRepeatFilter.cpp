#include "KeyRepeatFilter.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {
std::uint64_t KeyIdentity(const QKeyEvent& key)
{
    return key.nativeScanCode() != 0 ? key.nativeScanCode() : (std::uint64_t{1} << 32) | std::uint32_t(key.key());
}
} // namespace

KeyRepeatFilter::KeyRepeatFilter(QObject* parent)
    : QObject(parent)
{
}

bool KeyRepeatFilter::isUnmarkedRepeat(const QKeyEvent& key) const
{
    // Events made up by programs carry no time: they are never taken for repeats.
    if (key.isAutoRepeat() || key.timestamp() == 0)
        return false;
    const auto released = releasedAt_.find(KeyIdentity(key));
    return released != releasedAt_.end() && released->second == key.timestamp();
}

bool KeyRepeatFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyRelease: {
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (!key.isAutoRepeat() && key.timestamp() != 0)
            releasedAt_[KeyIdentity(key)] = key.timestamp();
        break;
    }
    case QEvent::ShortcutOverride:
        // Taken by the focus widget as its own key: no shortcut fires again for a held key,
        // and the press that follows comes here to be marked.
        if (isUnmarkedRepeat(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress: {
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (!isUnmarkedRepeat(key))
            break;
        QKeyEvent repeat(QEvent::KeyPress, key.key(), key.modifiers(), key.nativeScanCode(), key.nativeVirtualKey(),
                         key.nativeModifiers(), key.text(), true, key.count(), key.device());
        repeat.setTimestamp(key.timestamp());
        QCoreApplication::sendEvent(watched, &repeat);
        event->setAccepted(repeat.isAccepted());
        return true;
    }
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
