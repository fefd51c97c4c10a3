#include "BoardCodeCommands.h"

#include "ApplicationTitle.h"
#include "GameViewer.h"
#include "WindowLook.h"
#include "core/BoardCode.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

using namespace tovra;

void CopyBoardCode(const std::vector<int>& cells)
{
    QApplication::clipboard()->setText(QString::fromStdString(EncodeBoardCode(cells)));
}

void AddCopyCode(GameViewer& viewer)
{
    viewer.AddCommand(QStringLiteral("Copy code"), QKeySequence(Qt::CTRL | Qt::Key_C),
                      QStringLiteral("Puts the code of the board shown on the clipboard"), [&viewer] {
                          CopyBoardCode(viewer.Replay().CellsShown());
                          viewer.ReachabilityText()->setText(QStringLiteral("The code of this board is on the clipboard."));
                      });
}

std::optional<std::vector<int>> AskForBoardCode(QWidget* parent)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(parent, QStringLiteral("Open a code"),
                                               QStringLiteral("Paste the code of a board:"), QLineEdit::Normal,
                                               QString(), &accepted);
    if (!accepted)
        return std::nullopt;
    BoardCodeReading reading = ReadBoardCode(text.toStdString());
    if (reading.fault != BoardCodeFault::None) {
        QMessageBox::warning(parent, ApplicationTitle(), QString::fromStdString(reading.message));
        return std::nullopt;
    }
    return std::move(reading.cells);
}

void ShowCodeViewer(const std::vector<int>& cells, QWidget* parent,
                    const std::function<void(const std::vector<int>&)>& playFromHere)
{
    GameViewer viewer(GameReplay(cells, -1, std::nullopt), QStringLiteral("A board from a code"), false, parent);
    AddCopyCode(viewer);
    std::optional<std::vector<int>> chosen;
    viewer.AddCommand(QStringLiteral("Play from here"), QKeySequence(Qt::CTRL | Qt::Key_P),
                      QStringLiteral("Starts a game from the board shown (not ranked in the best 20)"),
                      [&viewer, &chosen] {
                          chosen = viewer.Replay().CellsShown();
                          viewer.close();
                      });
    viewer.Last();
    CentreOnScreen(&viewer);
    viewer.exec();
    if (parent)
        parent->activateWindow();
    if (chosen)
        playFromHere(*chosen);
}
