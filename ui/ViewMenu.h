#pragma once
// The View menu: zoom in and out by steps, back to the actual size, the colour scheme and the
// shapes of the cell states. Each choice changes the window's Appearance and is written to the
// player's settings at once.
#include "ui/widgets/Look.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class SettingsWriter;

class ViewMenu : public QObject {
    Q_OBJECT

public:
    // Adds the menu to `bar` before `before` (null: at the end). `fits` tells whether the main
    // window at a zoom step still fits its screen; Zoom in stops at the last one that does.
    // Each choice is kept through `settings`, which outlives the menu.
    ViewMenu(Appearance& appearance, SettingsWriter& settings, QMenuBar* bar, QAction* before,
             std::function<bool(int)> fits);

    QMenu* Menu() const { return menu_; }
    void ZoomIn();
    void ZoomOut();
    void ActualSize();
    void SetColours(ColourScheme colours);
    void SetShapes(bool on);

private:
    void change(Look look);
    void updateEntries();

    Appearance& appearance_;
    SettingsWriter& settings_;
    std::function<bool(int)> fits_;
    QMenu* menu_;
    QAction* zoomIn_;
    QAction* zoomOut_;
    QAction* actualSize_;
    QAction* schemes_[3];
    QAction* shapes_;
};
