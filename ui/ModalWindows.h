#pragma once
// The windows the main window opens: each is made anew, shown modally and destroyed when it
// closes, so nothing of an earlier showing (a typed name, a selected row) survives into the next.
// They get what they show from the caller and never reach back into the main window.
#include "core/BoardView.h"
#include "core/GameState.h"
#include "records/BestRecord.h"
#include "records/RecordFile.h"

#include <string>

class QWidget;

// The game is over: the end-of-game dialog (the score and, when the game ranks, the player's
// name, entered into `table` and saved), then the best 20. `board` must still hold the finished
// game, which the dialog stores; the new game is the caller's next step. Returns the name the
// game was saved under in record.dat (UTF-8), empty when it was not.
std::string ShowEndOfGameWindows(tovra::GameState& game, tovra::BoardView& board, tovra::BestTable& table,
                                 tovra::RecordFile& file, QWidget* parent);
// Lets the windows paint for a moment while another copy of the game holds record.dat; user
// input waits.
void WaitForOtherCopy();
void ShowBestTwenty(const tovra::BestTable& table, QWidget* parent);
void ShowAbout(QWidget* parent);
