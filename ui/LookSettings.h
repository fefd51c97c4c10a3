#pragma once
// The player's look, kept between runs where desktop programs keep their settings: an INI file
// in the user's configuration folder ($XDG_CONFIG_HOME, or ~/.config), never beside record.dat.
#include "ui/widgets/Look.h"

#include <QString>

#include <vector>

class QSettings;

// Unknown or damaged values read as the classic look at the actual size.
Look ReadLook(const QSettings& settings);
void WriteLook(QSettings& settings, const Look& look);
// A game closed while paused comes back paused: the board it had is remembered for the game
// database it is kept in (one per folder), and forgotten when a game there is closed unpaused.
void RememberClosedBoard(QSettings& settings, const QString& databasePath, const std::vector<int>& cells, bool paused);
bool WasClosedPaused(const QSettings& settings, const QString& databasePath, const std::vector<int>& cells);
// The settings file of this user: tovratovratovra/tovratovratovra.conf in the configuration folder.
QString PlayerSettingsPath();
