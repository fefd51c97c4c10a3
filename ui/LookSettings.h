#pragma once
// The player's look, kept between runs where desktop programs keep their settings: an INI file
// in the user's configuration folder ($XDG_CONFIG_HOME, or ~/.config), never beside record.dat.
#include "ui/widgets/Look.h"

#include <QString>

class QSettings;

// Unknown or damaged values read as the classic look at the actual size.
Look ReadLook(const QSettings& settings);
void WriteLook(QSettings& settings, const Look& look);
// The settings file of this user: tovratovratovra/tovratovratovra.conf in the configuration folder.
QString PlayerSettingsPath();
