#include "ModalWindows.h"

#include "UnitAbout.h"
#include "UnitFinePartita.h"
#include "UnitMigliori.h"
#include "WindowZoom.h"
#include "ui/widgets/Look.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

namespace {
// Hands the keyboard back to the main window, also where no window manager does (F2, Esc, F1).
void ReturnFocus(QWidget* parent) { parent->activateWindow(); }
} // namespace

std::string ShowEndOfGameWindows(tovra::GameState& game, tovra::BoardView& board, tovra::BestTable& table,
                                 tovra::RecordFile& file, QWidget* parent)
{
    std::string name;
    {
        TFormFinePartita FormFinePartita(game, board, table, file, parent);
        ZoomDialog(&FormFinePartita);
        FormFinePartita.exec();
        name = FormFinePartita.SavedName();
    }
    ShowBestTwenty(table, parent);
    return name;
}

void ShowBestTwenty(const tovra::BestTable& table, QWidget* parent)
{
    TFormMigliori FormMigliori(table, parent);
    ZoomDialog(&FormMigliori);
    FormMigliori.exec();
    ReturnFocus(parent);
}

void WaitForOtherCopy()
{
    QEventLoop pause;
    QTimer::singleShot(20, &pause, &QEventLoop::quit);
    pause.exec(QEventLoop::ExcludeUserInputEvents);
}

void ShowAbout(QWidget* parent)
{
    TFormAbout FormAbout(parent);
    ZoomDialog(&FormAbout);
    FormAbout.exec();
    ReturnFocus(parent);
}
