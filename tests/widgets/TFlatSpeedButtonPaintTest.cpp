// What the flat button draws, and when.

#include "ButtonTestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPixmap>
#include <QScopeGuard>

#include <cmath>
#include <functional>

using namespace buttontest;

using ButtonAction = std::function<void(TFlatSpeedButton*)>;
Q_DECLARE_METATYPE(ButtonAction)

class TFlatSpeedButtonPaintTest : public QObject {
    Q_OBJECT

private slots:
    void upCellIsItsColourEverywhere();
    void outlineFrame_data();
    void outlineFrame();
    void boldHundredRunsIntoTheBorderAndStaysCentred();
    void captionMovesOneRightAndDownWhenPushed();
    void captionColour_data();
    void captionColour();
    void colourRoundTripIsExact_data();
    void colourRoundTripIsExact();
    void unsetColourFollowsTheParentsBackground();
    void win40FaceShowsColour_data();
    void win40FaceShowsColour();
    void win40WithoutThemeLooksTheSameHotAndUpButNotPushed();
    void stateChangeIsDrawnAtOnce_data();
    void stateChangeIsDrawnAtOnce();
    void propertyChangeIsDrawnByTheNextRepaint_data();
    void propertyChangeIsDrawnByTheNextRepaint();
};

namespace {

const QColor Highlight(0x00, 0xFF, 0x00);
const QColor Shadow(0x00, 0x00, 0xFF);

void useDistinctEdgeColours(TFlatSpeedButton& button)
{
    QPalette palette = button.palette();
    palette.setColor(QPalette::Light, Highlight);
    palette.setColor(QPalette::Dark, Shadow);
    button.setPalette(palette);
}

// What the button shows, at the given device pixel ratio.
QImage picture(TFlatSpeedButton& button, int scale = 1)
{
    if (scale == 1)
        return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage image(button.size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::magenta);
    button.render(&image);
    return image;
}

// Colour of logical pixel (x, y); at a higher scale every device pixel it covers must agree,
// so a frame line stays one crisp logical pixel.
QColor logicalPixel(const QImage& image, int x, int y, int scale)
{
    const QColor first = image.pixelColor(x * scale, y * scale);
    for (int dy = 0; dy < scale; ++dy)
        for (int dx = 0; dx < scale; ++dx)
            if (image.pixelColor(x * scale + dx, y * scale + dy) != first)
                return QColor(Qt::transparent); // blurred
    return first;
}

QRect inkBounds(const QImage& image, const QColor& background, const QRect& area)
{
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != background)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

int distance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

bool anyPixelNear(const QImage& image, const QColor& colour, int tolerance)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (distance(image.pixelColor(x, y), colour) <= tolerance)
                return true;
    return false;
}

void bringTo(Stage& stage, State state)
{
    if (state == State::Hot) {
        QCursor::setPos(stage.centreOnScreen());
        QTRY_COMPARE(stage.button->State(), State::Hot);
    } else if (state == State::Pushed) {
        QTest::mousePress(stage.button, Qt::LeftButton);
    }
}

void releaseIfPressed(TFlatSpeedButton* button)
{
    if (button->PressActive())
        QTest::mouseRelease(button, Qt::LeftButton);
}

void sendEnter(TFlatSpeedButton* button)
{
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(button->mapToGlobal(QPoint(3, 3))));
    QCoreApplication::sendEvent(button, &enter);
}

void sendLeave(TFlatSpeedButton* button)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
}

} // namespace

void TFlatSpeedButtonPaintTest::upCellIsItsColourEverywhere()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    const QImage image = picture(*stage.button);
    QCOMPARE(image.size(), QSize(19, 19));
    QCOMPARE(inkBounds(image, FreeColor, image.rect()), QRect());
}

void TFlatSpeedButtonPaintTest::outlineFrame_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QColor>("topLeft");
    QTest::addColumn<QColor>("bottomRight");

    QTest::newRow("hot: raised") << State::Hot << 1 << Highlight << Shadow;
    QTest::newRow("pushed: sunken") << State::Pushed << 1 << Shadow << Highlight;
    QTest::newRow("hot at twice the pixel density") << State::Hot << 2 << Highlight << Shadow;
    QTest::newRow("pushed at twice the pixel density") << State::Pushed << 2 << Shadow << Highlight;
}

void TFlatSpeedButtonPaintTest::outlineFrame()
{
    QFETCH(State, state);
    QFETCH(int, scale);
    QFETCH(QColor, topLeft);
    QFETCH(QColor, bottomRight);

    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    useDistinctEdgeColours(*stage.button);
    stage.button->SetRepeatingDelay(60000);
    const auto release = qScopeGuard([&] { releaseIfPressed(stage.button); });
    bringTo(stage, state);
    QCOMPARE(stage.button->State(), state);

    const QImage image = picture(*stage.button, scale);
    const int w = stage.button->width();
    const int h = stage.button->height();
    auto at = [&](int x, int y) { return logicalPixel(image, x, y, scale); };

    for (const QPoint& edge : {QPoint(0, 0), QPoint(w / 2, 0), QPoint(w - 1, h / 2), QPoint(w - 1, h - 1), QPoint(0, h - 1)})
        QCOMPARE(at(edge.x(), edge.y()), QColor(Qt::black));
    QCOMPARE(at(1, 1), topLeft);
    QCOMPARE(at(w / 2, 1), topLeft);
    QCOMPARE(at(1, h / 2), topLeft);
    QCOMPARE(at(w - 2, h - 2), bottomRight);
    QCOMPARE(at(w / 2, h - 2), bottomRight);
    QCOMPARE(at(w - 2, h / 2), bottomRight);
    for (const QPoint& inside : {QPoint(2, 2), QPoint(w / 2, h / 2), QPoint(w - 3, h - 3)})
        QCOMPARE(at(inside.x(), inside.y()), FreeColor);
}

// The last number of a full board is a bold "100", wider than a cell's caption area.
void TFlatSpeedButtonPaintTest::boldHundredRunsIntoTheBorderAndStaysCentred()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    stage.button->SetCaption(QStringLiteral("100"));
    stage.button->SetBold(true);

    const QImage image = picture(*stage.button);
    const QRect ink = inkBounds(image, FreeColor, image.rect());
    QVERIFY(!ink.isEmpty());
    const int leftMargin = ink.left();
    const int rightMargin = image.width() - 1 - ink.right();
    QVERIFY2(leftMargin < 2 && rightMargin < 2,
             qPrintable(QStringLiteral("ink spans x %1..%2").arg(ink.left()).arg(ink.right())));
    QVERIFY(std::abs(leftMargin - rightMargin) <= 1);
}

void TFlatSpeedButtonPaintTest::captionMovesOneRightAndDownWhenPushed()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    stage.button->SetRepeatingDelay(60000);
    stage.button->SetCaption(QStringLiteral("7"));
    const auto release = qScopeGuard([&] { releaseIfPressed(stage.button); });
    // Inside the frame, which only the pushed look has.
    const QRect interior = stage.button->rect().adjusted(2, 2, -2, -2);

    const QRect up = inkBounds(picture(*stage.button), FreeColor, interior);
    bringTo(stage, State::Pushed);
    const QRect pushed = inkBounds(picture(*stage.button), FreeColor, interior);

    QVERIFY(!up.isEmpty());
    QCOMPARE(pushed, up.translated(1, 1));
}

void TFlatSpeedButtonPaintTest::captionColour_data()
{
    QTest::addColumn<bool>("enterColorChange");
    QTest::addColumn<State>("state");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("plain, up") << false << State::Up << QColor(Qt::black);
    QTest::newRow("plain, hot: hovering keeps the colour") << false << State::Hot << QColor(Qt::black);
    QTest::newRow("plain, pushed") << false << State::Pushed << QColor(Qt::black);
    QTest::newRow("enter colour on, up") << true << State::Up << QColor(Qt::black);
    QTest::newRow("enter colour on, hot") << true << State::Hot << QColor(Qt::red);
    QTest::newRow("enter colour on, pushed") << true << State::Pushed << QColor(Qt::red);
}

void TFlatSpeedButtonPaintTest::captionColour()
{
    QFETCH(bool, enterColorChange);
    QFETCH(State, state);
    QFETCH(QColor, expected);

    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    QPalette palette = stage.button->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    stage.button->setPalette(palette);
    stage.button->SetRepeatingDelay(60000);
    stage.button->SetCaption(QStringLiteral("H"));
    stage.button->SetBold(true);
    stage.button->SetEnterColorChange(enterColorChange);
    const auto release = qScopeGuard([&] { releaseIfPressed(stage.button); });
    bringTo(stage, state);

    const QColor other = expected == QColor(Qt::black) ? QColor(Qt::red) : QColor(Qt::black);
    const QImage caption = picture(*stage.button).copy(stage.button->rect().adjusted(2, 2, -2, -2));
    QVERIFY(anyPixelNear(caption, expected, 30));
    QVERIFY(!anyPixelNear(caption, other, 30));
}

void TFlatSpeedButtonPaintTest::colourRoundTripIsExact_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::newRow("free cell") << FreeColor;
    QTest::newRow("window background") << WindowColor;
    QTest::newRow("one step from white") << QColor(0xFF, 0xFF, 0xFE);
    QTest::newRow("low bytes only") << QColor(0x01, 0x02, 0x03);
    QTest::newRow("pure red") << QColor(0xFF, 0x00, 0x00);
}

void TFlatSpeedButtonPaintTest::colourRoundTripIsExact()
{
    QFETCH(QColor, colour);
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    stage.button->SetColor(colour);

    QCOMPARE(stage.button->Color(), colour);
    QCOMPARE(stage.button->Color().rgb(), colour.rgb());
    const QImage image = picture(*stage.button);
    QCOMPARE(image.pixelColor(9, 9), colour);
    QCOMPARE(image.pixelColor(0, 0), colour);
}

void TFlatSpeedButtonPaintTest::unsetColourFollowsTheParentsBackground()
{
    Stage stage(Kind::Command);
    QVERIFY(stage.exposed());
    auto* button = new TFlatSpeedButton(stage.host.get());
    button->SetButtonStyle(TFlatSpeedButton::ubsOutlineFlat);
    button->setGeometry(40, 40, 19, 19);
    button->show();

    QCOMPARE(button->Color(), WindowColor);
    QCOMPARE(picture(*button).pixelColor(9, 9), WindowColor);

    auto setHostBackground = [&](const QColor& colour) {
        QPalette palette = stage.host->palette();
        palette.setColor(QPalette::Window, colour);
        stage.host->setPalette(palette);
    };
    const QColor newBackground(0x12, 0x34, 0x56);
    setHostBackground(newBackground);
    QCOMPARE(button->Color(), newBackground);
    QCOMPARE(picture(*button).pixelColor(9, 9), newBackground);

    // Setting a colour ends the link.
    button->SetColor(FreeColor);
    setHostBackground(WindowColor);
    QCOMPARE(button->Color(), FreeColor);
    QCOMPARE(picture(*button).pixelColor(9, 9), FreeColor);
}

void TFlatSpeedButtonPaintTest::win40FaceShowsColour_data()
{
    QTest::addColumn<bool>("ctlXP");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("channel"); // 0 red, 1 green, 2 blue

    QTest::newRow("styled, red face") << true << QColor(0xE0, 0x10, 0x10) << 0;
    QTest::newRow("styled, blue face") << true << QColor(0x10, 0x10, 0xE0) << 2;
    QTest::newRow("plain frames, red face") << false << QColor(0xE0, 0x10, 0x10) << 0;
    QTest::newRow("plain frames, green face") << false << QColor(0x10, 0xE0, 0x10) << 1;
}

void TFlatSpeedButtonPaintTest::win40FaceShowsColour()
{
    QFETCH(bool, ctlXP);
    QFETCH(QColor, colour);
    QFETCH(int, channel);

    Stage stage(Kind::Command);
    QVERIFY(stage.exposed());
    stage.button->SetCaption(QString());
    stage.button->SetCtlXP(ctlXP);
    stage.button->SetColor(colour);

    const QColor face = picture(*stage.button).pixelColor(stage.button->rect().center());
    const int channels[3] = {face.red(), face.green(), face.blue()};
    for (int other = 0; other < 3; ++other)
        if (other != channel)
            QVERIFY2(channels[channel] > channels[other] + 64, qPrintable(face.name()));
    if (!ctlXP)
        QCOMPARE(face, colour);
}

// Without the style's hot look, hovering a command button changes nothing on the screen.
void TFlatSpeedButtonPaintTest::win40WithoutThemeLooksTheSameHotAndUpButNotPushed()
{
    Stage stage(Kind::Command);
    QVERIFY(stage.exposed());
    stage.button->SetCtlXP(false);
    const auto release = qScopeGuard([&] { releaseIfPressed(stage.button); });

    const QImage up = picture(*stage.button);
    bringTo(stage, State::Hot);
    const QImage hot = picture(*stage.button);
    bringTo(stage, State::Pushed);
    const QImage pushed = picture(*stage.button);

    QCOMPARE(hot, up);
    QVERIFY(pushed != up);
}

void TFlatSpeedButtonPaintTest::stateChangeIsDrawnAtOnce_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("ctlXP");
    QTest::addColumn<ButtonAction>("before");
    QTest::addColumn<ButtonAction>("action");
    QTest::addColumn<bool>("drawn");

    const ButtonAction nothing = [](TFlatSpeedButton*) {};
    const ButtonAction enter = sendEnter;
    const ButtonAction leave = sendLeave;
    const ButtonAction pressLeft = [](TFlatSpeedButton* b) { QTest::mousePress(b, Qt::LeftButton); };
    const ButtonAction pressRight = [](TFlatSpeedButton* b) { QTest::mousePress(b, Qt::RightButton); };
    const ButtonAction moveWithin = [](TFlatSpeedButton* b) { QTest::mouseMove(b, QPoint(4, 4)); };
    const ButtonAction slideOff = [](TFlatSpeedButton* b) { QTest::mouseMove(b, OffButton); };

    QTest::newRow("cell: pointer enters") << Kind::Cell << false << nothing << enter << true;
    QTest::newRow("cell: pointer leaves") << Kind::Cell << false << enter << leave << true;
    QTest::newRow("cell: left press") << Kind::Cell << false << nothing << pressLeft << true;
    QTest::newRow("cell: sliding off while held") << Kind::Cell << false << pressLeft << slideOff << true;
    QTest::newRow("cell: moving within while held") << Kind::Cell << false << pressLeft << moveWithin << false;
    QTest::newRow("cell: right press") << Kind::Cell << false << nothing << pressRight << false;
    QTest::newRow("plain command button: pointer enters") << Kind::Command << false << nothing << enter << false;
    QTest::newRow("plain command button: pointer leaves") << Kind::Command << false << enter << leave << false;
    QTest::newRow("plain command button: left press") << Kind::Command << false << nothing << pressLeft << true;
    QTest::newRow("styled command button: pointer enters") << Kind::Command << true << nothing << enter << true;
}

void TFlatSpeedButtonPaintTest::stateChangeIsDrawnAtOnce()
{
    QFETCH(Kind, kind);
    QFETCH(bool, ctlXP);
    QFETCH(ButtonAction, before);
    QFETCH(ButtonAction, action);
    QFETCH(bool, drawn);

    Stage stage(kind);
    QVERIFY(stage.exposed());
    stage.button->SetCtlXP(ctlXP);
    stage.button->SetRepeatingDelay(60000);
    const auto release = qScopeGuard([&] {
        releaseIfPressed(stage.button);
        if (QGuiApplication::mouseButtons() & Qt::RightButton)
            QTest::mouseRelease(stage.button, Qt::RightButton);
    });
    before(stage.button);
    QApplication::processEvents();

    PaintCounter counter;
    stage.button->installEventFilter(&counter);
    action(stage.button);
    QCOMPARE(counter.paints, drawn ? 1 : 0);
    // Nothing was left for later either.
    QApplication::processEvents();
    QCOMPARE(counter.paints, drawn ? 1 : 0);
}

void TFlatSpeedButtonPaintTest::propertyChangeIsDrawnByTheNextRepaint_data()
{
    QTest::addColumn<ButtonAction>("change");
    QTest::newRow("caption") << ButtonAction([](TFlatSpeedButton* b) { b->SetCaption(QStringLiteral("42")); });
    QTest::newRow("colour") << ButtonAction([](TFlatSpeedButton* b) { b->SetColor(Qt::yellow); });
    QTest::newRow("bold") << ButtonAction([](TFlatSpeedButton* b) { b->SetBold(true); });
}

// The animated undo changes many cells in a row and yields between steps: each change is
// queued, not painted on the spot, and shows at the next repaint.
void TFlatSpeedButtonPaintTest::propertyChangeIsDrawnByTheNextRepaint()
{
    QFETCH(ButtonAction, change);
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    stage.button->SetCaption(QStringLiteral("7"));
    QApplication::processEvents();
    const QImage before = picture(*stage.button);

    PaintCounter counter;
    stage.button->installEventFilter(&counter);
    change(stage.button);
    QCOMPARE(counter.paints, 0);
    QTRY_VERIFY(counter.paints > 0);
    QVERIFY(picture(*stage.button) != before);
}

QTEST_MAIN(TFlatSpeedButtonPaintTest)
#include "TFlatSpeedButtonPaintTest.moc"
