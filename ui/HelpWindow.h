#pragma once
// The game's help, shown in a window of its own so it works without a browser.
#include <QWidget>

class QTextBrowser;

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Brings the window up at the help's contents.
    void ShowContents();
    // Brings the window up at the section named by `anchor` (the key list is "keys").
    void ShowSection(const QString& anchor);
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};
