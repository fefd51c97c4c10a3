#include "HelpWindow.h"


#include <QDesktopServices>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const QUrl HelpContents(QStringLiteral("qrc:/help/tovratovratovra.html"));
}

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Tovra!, Tovra!, Tovra! - Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(true);
    resize(520, 600);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
}

void HelpWindow::ShowContents()
{
    browser_->setSource(HelpContents);
    // From the top: the picture of the eight jumps, then the contents.
    browser_->scrollToAnchor(QStringLiteral("top"));
    show();
    raise();
    activateWindow();
}
