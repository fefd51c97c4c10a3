#include "LookSettings.h"

#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <iterator>

namespace {
constexpr std::pair<ColourScheme, const char*> SchemeNames[] = {
    {ColourScheme::Classic, "classic"},
    {ColourScheme::Dark, "dark"},
    {ColourScheme::HighContrast, "high-contrast"},
};
} // namespace

Look ReadLook(const QSettings& settings)
{
    Look look;
    const int zoom = settings.value(QStringLiteral("View/Zoom"), 100).toInt();
    if (std::find(std::begin(ZoomSteps), std::end(ZoomSteps), zoom) != std::end(ZoomSteps))
        look.zoomPercent = zoom;
    const QString colours = settings.value(QStringLiteral("View/Colours")).toString();
    for (const auto& [scheme, name] : SchemeNames) {
        if (colours == QLatin1String(name))
            look.colours = scheme;
    }
    look.shapes = settings.value(QStringLiteral("View/Shapes"), false).toBool();
    return look;
}

void WriteLook(QSettings& settings, const Look& look)
{
    settings.setValue(QStringLiteral("View/Zoom"), look.zoomPercent);
    for (const auto& [scheme, name] : SchemeNames) {
        if (scheme == look.colours)
            settings.setValue(QStringLiteral("View/Colours"), QString::fromLatin1(name));
    }
    settings.setValue(QStringLiteral("View/Shapes"), look.shapes);
}

QString PlayerSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tovratovratovra/tovratovratovra.conf");
}
