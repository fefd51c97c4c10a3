#pragma once
// What lies over the board while the game is paused: the board's square and grid with every
// cell blank, and a word in their place. It takes every click meant for the cells; a click on
// the word asks to go on.
#include <QWidget>

class PauseCover : public QWidget {
    Q_OBJECT

public:
    // Covers `board`, a sibling (the square behind the cells), and stays hidden until shown.
    PauseCover(QWidget* board, QWidget* parent);

    static QString Word() { return QStringLiteral("Paused"); }
    static QString HowToGoOn() { return QStringLiteral("Click here or press P"); }
    // Where the word is, with the line under it, in the cover's own pixels.
    QRect WordRect() const;

signals:
    void ResumeAsked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QFont wordFont() const;
    QFont lineFont() const;
    bool pressedOnWord_ = false;
};
