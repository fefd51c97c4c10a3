#pragma once
// The help page in the player's colour scheme. The page keeps its colours in its style sheet and
// in a few inline styles; each is taken through the scheme the way the windows take theirs.
#include <QString>

struct Look;

// `html` with every "background-color" through the look's fills and every "color" through its
// inks; where a rule names both and the two would not stand 4.5 : 1 apart, the text is black or
// white, whichever stands out more. The classic look gives the page back unchanged.
QString HelpInColours(const QString& html, const Look& look);
