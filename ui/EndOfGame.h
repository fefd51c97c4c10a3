#pragma once
// The main window's commands that open the other windows, each made anew, shown modally and
// destroyed when closed.
class TForm1;

// The game is over: the end-of-game dialog, then the best 20, then a new game.
void RunEndOfGameSequence(TForm1& form);
void ShowBestTwenty(TForm1& form);
void ShowAbout(TForm1& form);
