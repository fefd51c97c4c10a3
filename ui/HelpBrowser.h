#pragma once
// The help's page view: the page comes in the player's colour scheme.
#include <QTextBrowser>

class HelpBrowser : public QTextBrowser {
    Q_OBJECT

public:
    using QTextBrowser::QTextBrowser;

    // Loads the page again in the scheme now chosen, at the place it was read.
    void Recolour();

    QVariant loadResource(int type, const QUrl& name) override;
};
