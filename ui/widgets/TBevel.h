#pragma once
// A lowered 1-pixel box that frames a group of controls.
#include <QWidget>

class TBevel : public QWidget {
    Q_OBJECT

public:
    explicit TBevel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
