#include "EndOfGame.h"

#include "Unit1.h"
#include "UnitAbout.h"
#include "UnitFinePartita.h"
#include "UnitMigliori.h"
#include "WidgetBoardView.h"

// Each window is made for one showing and destroyed when it closes, so nothing of an earlier
// showing (a typed name, a selected row) survives into the next.

namespace {
// Hands the keyboard back to the main window, also where no window manager does (F2, Esc, F1).
void ReturnFocus(TForm1& form) { form.activateWindow(); }
} // namespace

void RunEndOfGameSequence(TForm1& form)
{
    // The board keeps the finished game until both windows are closed: the dialog reads it.
    {
        TFormFinePartita FormFinePartita(form.Game(), form.Board(), form.BestTable(), &form);
        FormFinePartita.exec();
    }
    ShowBestTwenty(form);
    form.Nuovapartita1Click();
    ReturnFocus(form);
}

void ShowBestTwenty(TForm1& form)
{
    TFormMigliori FormMigliori(form.BestTable(), &form);
    FormMigliori.exec();
    ReturnFocus(form);
}

void ShowAbout(TForm1& form)
{
    TFormAbout FormAbout(&form);
    FormAbout.exec();
    ReturnFocus(form);
}
