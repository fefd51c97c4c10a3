#pragma once
// A held key repeats as a release and a press with one timestamp, the way the X server sends
// its auto-repeat. Where the toolkit takes such a press for a fresh one (it does under a window
// manager), this filter, installed on the application, marks it as the repeat it is: the press
// then arrives with isAutoRepeat() set, and a held key's shortcut fires only once. So a held
// Space or Enter that placed the last number cannot type into, or answer, the window it opened.
#include <QObject>

#include <cstdint>
#include <unordered_map>

class QKeyEvent;

class KeyRepeatFilter : public QObject {
    Q_OBJECT

public:
    explicit KeyRepeatFilter(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True for an unmarked press that comes at the very time its key was last released.
    bool isUnmarkedRepeat(const QKeyEvent& key) const;

    // When each key was last released, by scan code (by key code where there is none).
    std::unordered_map<std::uint64_t, std::uint64_t> releasedAt_;
};
