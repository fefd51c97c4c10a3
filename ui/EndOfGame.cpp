#include "EndOfGame.h"

#include "Unit1.h"

void RunEndOfGameSequence(TForm1& form) { form.Nuovapartita1Click(); }
void ShowBestTwenty(TForm1&) {}
void ShowAbout(TForm1&) {}
