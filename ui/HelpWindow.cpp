#include "HelpWindow.h"

#include "HelpBrowser.h"
#include "WindowLook.h"

#include <QDesktopServices>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const QUrl HelpContents(QStringLiteral("qrc:/help/tovratovratovra.html"));
}

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , browser_(new HelpBrowser(this))
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

void HelpWindow::Recolour() { browser_->Recolour(); }

// From the top: the picture of the eight jumps, then the contents.
void HelpWindow::ShowContents() { ShowSection(QStringLiteral("top")); }

void HelpWindow::ShowSection(const QString& anchor)
{
    browser_->setSource(HelpContents);
    browser_->scrollToAnchor(anchor);
    if (!isVisible()) {
        const QSize room = screen()->availableGeometry().size().shrunkBy(FrameMargins(this));
        if (width() > room.width() || height() > room.height())
            CentreOnScreen(this); // made to fit first: its text scrolls inside
    }
    show();
    raise();
    activateWindow();
}
