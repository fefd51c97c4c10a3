#pragma once
// The game's help, shown in a window of its own so it works without a browser.
#include "HelpBrowser.h"

#include <QWidget>

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Brings the window up at the help's contents.
    void ShowContents();
    // Brings the window up at the section named by `anchor` (the key list is "keys").
    void ShowSection(const QString& anchor);
    HelpBrowser* Browser() const { return browser_; }
    // The page again in the colour scheme now chosen.
    void Recolour();

private:
    HelpBrowser* browser_;
};
