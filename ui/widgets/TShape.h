#pragma once
// A filled rectangle with a 1-pixel outline, drawn under the board and the buttons. It reports
// the release of a mouse button pressed on it, so the background can end a finished game too.
#include <QColor>
#include <QWidget>

class TShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor PenColor READ PenColor WRITE SetPenColor)
    Q_PROPERTY(QColor BrushColor READ BrushColor WRITE SetBrushColor)

public:
    explicit TShape(QWidget* parent = nullptr);

    QColor PenColor() const { return pen_; }
    void SetPenColor(const QColor& color);
    QColor BrushColor() const { return brush_; }
    void SetBrushColor(const QColor& color);

signals:
    void OnMouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor pen_ = Qt::black;
    QColor brush_ = Qt::white;
};
