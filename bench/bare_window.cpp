// The yardstick for the game's window: the same menu, sizes, colours and fonts, 100 flat cells,
// three buttons and the two status panels, made of plain widgets that only paint themselves.
// No game, no record file, no timers.
#include "bench/BenchProbe.h"
#include "core/CellId.h"
#include "core/Colors.h"

#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>

using namespace tovra;

namespace {

QColor ToQColor(Color color) { return QColor(RedOf(color), GreenOf(color), BlueOf(color)); }

QFont CellFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// A filled rectangle with a 1-pixel outline.
class BareShape : public QWidget {
public:
    BareShape(QWidget* parent, const QRect& geometry, QColor pen, QColor brush)
        : QWidget(parent), pen_(pen), brush_(brush)
    {
        setGeometry(geometry);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), pen_);
        painter.fillRect(rect().adjusted(1, 1, -1, -1), brush_);
    }

private:
    QColor pen_;
    QColor brush_;
};

// A flat button that draws its face and caption and does nothing else.
class BareButton : public QWidget {
public:
    BareButton(QWidget* parent, const QString& name, const QRect& geometry, QColor face, const QString& caption = {})
        : QWidget(parent), face_(face), caption_(caption)
    {
        setObjectName(name);
        setGeometry(geometry);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QString Caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), face_);
        if (caption_.isEmpty())
            return;
        painter.setPen(Qt::black);
        painter.drawText(rect().adjusted(2, 2, -2, -2), Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, caption_);
    }

private:
    QColor face_;
    QString caption_;
};

QLabel* Panel(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

class BareWindow : public QMainWindow {
public:
    BareWindow()
        : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    {
        setObjectName(QStringLiteral("BareWindow"));
        setWindowTitle(QStringLiteral("Tovra bare window"));
        QPalette windowPalette = palette();
        windowPalette.setColor(QPalette::Window, ToQColor(WindowColor));
        setPalette(windowPalette);
        setAutoFillBackground(true);

        // The menu in the desktop's font, as the game's: the cell font goes to the client area.
        auto* menu = new QMenuBar(this);
        QMenu* file = menu->addMenu(QStringLiteral("File"));
        file->addAction(QStringLiteral("New game"))->setShortcut(QKeySequence(Qt::Key_F2));
        file->addSeparator();
        QAction* close = file->addAction(QStringLiteral("Close"));
        close->setShortcut(QKeySequence(Qt::Key_Escape));
        connect(close, &QAction::triggered, this, &QWidget::close);
        QMenu* help = menu->addMenu(QStringLiteral("?"));
        help->addAction(QStringLiteral("Help"))->setShortcut(QKeySequence(Qt::Key_F1));
        help->addAction(QStringLiteral("Best 20"));
        help->addSeparator();
        help->addAction(QStringLiteral("About"));
        setMenuBar(menu);

        auto* client = new QWidget(this);
        client->setObjectName(QStringLiteral("ClientArea"));
        client->setFont(CellFont());
        client->setFixedSize(241, 294);
        new BareShape(client, QRect(0, 0, 241, 275), QColor(255, 165, 0), QColor(255, 232, 169));
        new BareShape(client, QRect(16, 16, 209, 209), QColor(255, 201, 105), Qt::white);
        new BareShape(client, QRect(20, 20, 201, 201), QColor(192, 192, 192), QColor(192, 192, 192));
        auto* buttonBack = new BareShape(client, QRect(16, 228, 209, 31), QColor(255, 201, 105), Qt::white);
        new BareButton(client, QStringLiteral("BtnUndo1"), QRect(20, 232, 56, 23), ToQColor(WindowColor),
                       QStringLiteral("Undo 1"));
        new BareButton(client, QStringLiteral("BtnUndoMarcato"), QRect(79, 232, 83, 23), ToQColor(WindowColor),
                       QStringLiteral("Undo->marked"));
        new BareButton(client, QStringLiteral("BtnMosse"), QRect(165, 232, 56, 23), ToQColor(WindowColor),
                       QStringLiteral("Moves"));
        auto* statusBar = new QWidget(client);
        statusBar->setObjectName(QStringLiteral("StatusBar"));
        statusBar->setGeometry(0, 275, 241, 19);
        Panel(statusBar, QStringLiteral("ScorePanel"), QRect(0, 2, 88, 17));
        Panel(statusBar, QStringLiteral("TimePanel"), QRect(90, 2, 151, 17));

        for (int row = 1; row <= BoardSize; ++row) {
            for (int column = 1; column <= BoardSize; ++column) {
                auto* cell = new BareButton(client, QString::fromStdString(MakeCellId(row, column)),
                                            QRect(21 + 20 * (column - 1), 21 + 20 * (row - 1), 19, 19),
                                            ToQColor(FreeColor));
                cell->setFont(CellFont());
                cell->stackUnder(buttonBack);
            }
        }
        setCentralWidget(client);
        layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    BenchApplication application(argc, argv);
    BareWindow window;
    application.Watch(&window, [](const QWidget* widget) {
        const auto* cell = dynamic_cast<const BareButton*>(widget);
        return cell ? cell->Caption() : QString();
    });
    window.adjustSize();
    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.center() - window.rect().center());
    window.show();
    window.activateWindow();
    return application.exec();
}
