#pragma once
// The end of a game on a board that came with its first numbers: how far the player got, why
// the game is not ranked, and "Copy result" for the text to share. No name is asked for.
#include <QDialog>

class QLabel;
class TFlatSpeedButton;

class GivenBoardEndDialog : public QDialog {
    Q_OBJECT

public:
    GivenBoardEndDialog(const QString& title, const QString& text, const QString& result, QWidget* parent = nullptr);

    QLabel* Text() const { return text_; }
    TFlatSpeedButton* CopyButton() const { return copy_; }

private:
    QLabel* text_ = nullptr;
    TFlatSpeedButton* copy_ = nullptr;
};
