#include "ViewMenu.h"

#include "LookSettings.h"
#include "SettingsWriter.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include <algorithm>
#include <iterator>

ViewMenu::ViewMenu(Appearance& appearance, SettingsWriter& settings, QMenuBar* bar, QAction* before,
                   std::function<bool(int)> fits)
    : QObject(bar)
    , appearance_(appearance)
    , settings_(settings)
    , fits_(std::move(fits))
    , menu_(new QMenu(QStringLiteral("&View"), bar))
{
    menu_->setObjectName(QStringLiteral("View1"));
    bar->insertMenu(before, menu_);
    zoomIn_ = menu_->addAction(QStringLiteral("Zoom &in"), this, &ViewMenu::ZoomIn);
    // Ctrl+= as well: on most keyboards + needs Shift.
    zoomIn_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    zoomOut_ = menu_->addAction(QStringLiteral("Zoom &out"), this, &ViewMenu::ZoomOut);
    zoomOut_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    actualSize_ = menu_->addAction(QStringLiteral("&Actual size"), this, &ViewMenu::ActualSize);
    actualSize_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    menu_->addSeparator();

    QMenu* colours = menu_->addMenu(QStringLiteral("&Colours"));
    colours->setObjectName(QStringLiteral("Colours1"));
    auto* group = new QActionGroup(colours);
    const std::pair<ColourScheme, QString> names[] = {
        {ColourScheme::Classic, QStringLiteral("&Classic")},
        {ColourScheme::Dark, QStringLiteral("&Dark")},
        {ColourScheme::HighContrast, QStringLiteral("&High contrast")},
    };
    for (const auto& [scheme, name] : names) {
        QAction* entry = colours->addAction(name, this, [this, scheme] { SetColours(scheme); });
        entry->setCheckable(true);
        group->addAction(entry);
        schemes_[static_cast<int>(scheme)] = entry;
    }
    shapes_ = menu_->addAction(QStringLiteral("&Shapes as well as colours"), this, [this] { SetShapes(shapes_->isChecked()); });
    shapes_->setCheckable(true);
    // Greyed while the menu shows them and they would do nothing; their keys stay live (and
    // then do nothing), since the window may move to a screen of another size meanwhile.
    connect(menu_, &QMenu::aboutToShow, this, &ViewMenu::updateEntries);
    connect(menu_, &QMenu::aboutToHide, this, [this] {
        for (QAction* entry : {zoomIn_, zoomOut_, actualSize_})
            entry->setEnabled(true);
    });
    updateEntries();
    for (QAction* entry : {zoomIn_, zoomOut_, actualSize_})
        entry->setEnabled(true);
}

void ViewMenu::ZoomIn()
{
    Look look = appearance_.Current();
    const auto next = std::upper_bound(std::begin(ZoomSteps), std::end(ZoomSteps), look.zoomPercent);
    if (next == std::end(ZoomSteps) || !fits_(*next))
        return;
    look.zoomPercent = *next;
    change(look);
}

void ViewMenu::ZoomOut()
{
    Look look = appearance_.Current();
    const auto at = std::lower_bound(std::begin(ZoomSteps), std::end(ZoomSteps), look.zoomPercent);
    if (at == std::begin(ZoomSteps))
        return;
    look.zoomPercent = *std::prev(at);
    change(look);
}

void ViewMenu::ActualSize()
{
    Look look = appearance_.Current();
    look.zoomPercent = 100;
    change(look);
}

void ViewMenu::SetColours(ColourScheme colours)
{
    Look look = appearance_.Current();
    look.colours = colours;
    change(look);
}

void ViewMenu::SetShapes(bool on)
{
    Look look = appearance_.Current();
    look.shapes = on;
    change(look);
}

void ViewMenu::change(Look look)
{
    appearance_.Set(look);
    settings_.Later([look](QSettings& settings) { WriteLook(settings, look); });
    schemes_[static_cast<int>(look.colours)]->setChecked(true);
    shapes_->setChecked(look.shapes);
}

void ViewMenu::updateEntries()
{
    const Look& look = appearance_.Current();
    const auto next = std::upper_bound(std::begin(ZoomSteps), std::end(ZoomSteps), look.zoomPercent);
    zoomIn_->setEnabled(next != std::end(ZoomSteps) && fits_(*next));
    zoomOut_->setEnabled(look.zoomPercent > ZoomSteps[0]);
    actualSize_->setEnabled(look.zoomPercent != 100);
    schemes_[static_cast<int>(look.colours)]->setChecked(true);
    shapes_->setChecked(look.shapes);
}
