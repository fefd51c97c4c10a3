// The About window: its version text, the ways it closes, what each link hands to the desktop,
// the logo (also when damaged) and the disclaimer. Links are recorded, never opened.
#include "ui/ApplicationTitle.h"
#include "ui/UnitAbout.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <string>
#include <vector>

namespace {

struct ShellCall {
    std::string file;
    std::string parameters;
    std::string folder;
    int showCommand = 0;
};

// A window whose links land in calls instead of the desktop.
struct RecordingAbout {
    std::vector<ShellCall> calls;
    TFormAbout window{[this](const std::string& file, const std::string& parameters, const std::string& folder,
                             int showCommand) { calls.push_back({file, parameters, folder, showCommand}); }};

    template <class T = QWidget> T* child(const QString& name) { return window.findChild<T*>(name); }
};

QByteArray StoredLogo()
{
    QFile file(QStringLiteral(":/about/logo.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    void versionIsReadFromTheRunningExecutable()
    {
        // This binary carries the program's version note, as the game does.
        RecordingAbout about;
        QCOMPARE(about.child<QLabel>(QStringLiteral("LabelVersioneProgramma"))->text(),
                 QStringLiteral("Version " TOVRA_FILE_VERSION " - 2007"));
    }

    void windowIsAFixedAboutBoxWithoutMaximise()
    {
        RecordingAbout about;
        about.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about.window));
        QCOMPARE(about.window.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.window.size(), QSize(282, 242));
        QCOMPARE(about.window.minimumSize(), about.window.maximumSize());
        const Qt::WindowFlags flags = about.window.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    }

    void labelsSitAtTheirPlacesSizedToTheirText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("underlined");
        QTest::addColumn<bool>("handPointer");
        QTest::newRow("e-mail link") << "LabelEmail" << QPoint(116, 73) << "E-mail" << false << true << true;
        QTest::newRow("second home page link") << "LabelHomepage2" << QPoint(49, 73) << "Home Page" << false << true << true;
        QTest::newRow("version") << "LabelVersioneProgramma" << QPoint(49, 23) << "Version " TOVRA_FILE_VERSION " - 2007" << false << false << false;
        QTest::newRow("maker") << "LabelQuelm" << QPoint(49, 60) << "Quelm" << true << false << false;
        QTest::newRow("program name") << "LabelNomeProgramma" << QPoint(49, 10) << "Tovra!, Tovra!, Tovra!" << true << false << false;
        QTest::newRow("dash between the links") << "Label3" << QPoint(109, 73) << "-" << false << false << false;
        QTest::newRow("first home page link") << "LabelHomePage1" << QPoint(49, 36) << "Home Page" << false << true << true;
    }

    void labelsSitAtTheirPlacesSizedToTheirText()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, position);
        QFETCH(QString, text);
        QFETCH(bool, bold);
        QFETCH(bool, underlined);
        QFETCH(bool, handPointer);
        RecordingAbout about;
        const QLabel* label = about.child<QLabel>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->pos(), position);
        QCOMPARE(label->font().pixelSize(), 11);
        QCOMPARE(label->font().bold(), bold);
        QCOMPARE(label->font().underline(), underlined);
        QCOMPARE(label->cursor().shape() == Qt::PointingHandCursor, handPointer);
        // Sized for the font it is drawn in: the whole text shows, nothing more is taken.
        QCOMPARE(label->size(), QFontMetrics(label->font()).size(Qt::TextSingleLine, text));
    }

    void contentsAreCreatedInPaintingOrder()
    {
        // Later siblings paint over earlier ones: the pictures over their frames, the
        // disclaimer over its orange box.
        RecordingAbout about;
        QStringList order;
        for (const QWidget* child : about.window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            order << child->objectName();
        QCOMPARE(order, QStringList({"LabelEmail", "LabelHomepage2", "Shape3", "Shape1", "LabelVersioneProgramma",
                                     "BtnChiudi", "Image1", "Shape2", "Image2", "Label2", "LabelQuelm",
                                     "LabelNomeProgramma", "Label3", "LabelHomePage1"}));
    }

    void framesAndBackgroundShowTheirColours_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QColor>("color");
        QTest::newRow("window background") << QPoint(150, 100) << QColor(255, 232, 169);
        QTest::newRow("disclaimer box outline") << QPoint(5, 150) << QColor(255, 165, 0);
        QTest::newRow("disclaimer box inside the outline") << QPoint(6, 150) << QColor(Qt::white);
        QTest::newRow("disclaimer background") << QPoint(270, 203) << QColor(Qt::white);
        QTest::newRow("icon frame outline") << QPoint(5, 30) << QColor(Qt::black);
        QTest::newRow("icon frame inside") << QPoint(7, 12) << QColor(Qt::white);
        QTest::newRow("logo frame outline") << QPoint(44, 80) << QColor(Qt::black);
    }

    void framesAndBackgroundShowTheirColours()
    {
        QFETCH(QPoint, at);
        QFETCH(QColor, color);
        RecordingAbout about;
        const QImage image = about.window.grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        QCOMPARE(image.pixelColor(at * ratio), color);
    }

    void escapeClosesFromWhicheverControlHasFocus_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::newRow("the window itself") << QString();
        for (const char* name : {"LabelEmail", "Shape3", "BtnChiudi", "Image2", "Label2", "LabelHomePage1"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void escapeClosesFromWhicheverControlHasFocus()
    {
        QFETCH(QString, focused);
        RecordingAbout about;
        QWidget* target = focused.isEmpty() ? &about.window : about.child(focused);
        QVERIFY(target);
        about.window.show();
        about.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&about.window));
        target->setFocusPolicy(Qt::StrongFocus);
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);

        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_A);
        QVERIFY2(about.window.isVisible(), "only Escape closes the window");
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!about.window.isVisible());
        QVERIFY(about.calls.empty());
    }

    void escapeEndsTheModalShowingAndLeavesTheParentOpen()
    {
        QWidget mainWindow;
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
        QPointer<TFormAbout> about = new TFormAbout([](const std::string&, const std::string&, const std::string&, int) {},
                                                    &mainWindow);
        bool sent = false;
        QTimer::singleShot(0, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal == about);
            QTest::keyClick(modal, Qt::Key_Escape);
            sent = true;
        });
        about->exec();
        QVERIFY(sent);
        QVERIFY(mainWindow.isVisible());
        delete about;
    }

    void okButtonCloses()
    {
        RecordingAbout about;
        about.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about.window));
        auto* ok = about.child<TFlatSpeedButton>(QStringLiteral("BtnChiudi"));
        QVERIFY(ok);
        QCOMPARE(ok->Caption(), QStringLiteral("Ok"));
        QCOMPARE(ok->geometry(), QRect(221, 213, 55, 25));
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!about.window.isVisible());
    }

    void linksHandTheirAddressToTheDesktop_data()
    {
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("showCommand");
        const QString mail = QStringLiteral("mailto:") + EmailAddress() +
                             QStringLiteral("?subject=Email inviata da ") + ApplicationTitle() + QStringLiteral("&Body=");
        QTest::newRow("first home page label") << "LabelHomePage1" << HomePageAddress() << "C:\\" << 5;
        QTest::newRow("second home page label") << "LabelHomepage2" << HomePageAddress() << "C:\\" << 5;
        QTest::newRow("logo") << "Image2" << HomePageAddress() << "C:\\" << 5;
        QTest::newRow("e-mail label") << "LabelEmail" << mail << "" << 1;
    }

    void linksHandTheirAddressToTheDesktop()
    {
        QFETCH(QString, clicked);
        QFETCH(QString, file);
        QFETCH(QString, folder);
        QFETCH(int, showCommand);
        RecordingAbout about;
        about.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about.window));
        QTest::mouseClick(about.child(clicked), Qt::LeftButton);
        QCOMPARE(about.calls.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(about.calls[0].file), file);
        QCOMPARE(about.calls[0].parameters, std::string());
        QCOMPARE(QString::fromStdString(about.calls[0].folder), folder);
        QCOMPARE(about.calls[0].showCommand, showCommand);
        QVERIFY2(about.window.isVisible(), "following a link leaves the window open");
    }

    void emailSubjectKeepsTheTitleAndItsSpacesUnencoded()
    {
        RecordingAbout about;
        about.window.LabelEmailClick();
        QCOMPARE(about.calls.size(), std::size_t(1));
        const QString file = QString::fromStdString(about.calls[0].file);
        QVERIFY2(file.contains(QStringLiteral("?subject=Email inviata da ") + ApplicationTitle() + QStringLiteral("&Body=")),
                 qPrintable(file));
        QVERIFY(!file.contains(QLatin1Char('%')));
        QVERIFY(file.endsWith(QStringLiteral("&Body=")));
    }

    void otherControlsAndDragsOffALinkOpenNothing()
    {
        RecordingAbout about;
        about.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about.window));
        for (const char* name : {"LabelQuelm", "Label3", "LabelNomeProgramma", "Image1", "Label2", "Shape2"})
            QTest::mouseClick(about.child(QString::fromLatin1(name)), Qt::LeftButton);
        QTest::mouseClick(about.child(QStringLiteral("LabelEmail")), Qt::RightButton);
        // Down on a link, up outside it: no click.
        QWidget* link = about.child(QStringLiteral("LabelHomePage1"));
        QTest::mousePress(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 20, link->height() / 2));
        QVERIFY(about.calls.empty());
    }

    void storedLogoDecodesAndFillsItsFrame()
    {
        QCOMPARE(DecodeAboutLogo(StoredLogo()).size(), QSize(50, 51));
        RecordingAbout about;
        about.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about.window));
        const auto* image = about.child<QLabel>(QStringLiteral("Image2"));
        const QPixmap logo = image->pixmap();
        QVERIFY(!logo.isNull());
        QCOMPARE(image->geometry(), QRect(8, 63, 34, 34));
        QCOMPARE(logo.deviceIndependentSize(), QSizeF(34, 34));
        // Drawn from the device pixels of the screen, not blown up from 34 x 34.
        QCOMPARE(logo.size(), QSize(34, 34) * about.window.devicePixelRatioF());
        QCOMPARE(logo.devicePixelRatio(), about.window.devicePixelRatioF());
    }

    void iconShowsItsBitmapUnscaled()
    {
        RecordingAbout about;
        const auto* image = about.child<QLabel>(QStringLiteral("Image1"));
        QCOMPARE(image->geometry(), QRect(9, 14, 32, 32));
        QCOMPARE(image->pixmap().size(), QSize(32, 32));
    }

    void damagedLogoLeavesAnEmptyPicture_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        const QByteArray logo = StoredLogo();
        QVERIFY(logo.size() > 400);
        QTest::newRow("no data") << QByteArray();
        QTest::newRow("not a JPEG") << QByteArray("GIF89a this is not the logo at all", 34);
        QTest::newRow("headers only") << logo.left(200);
        QTest::newRow("cut short in the picture data") << logo.left(logo.size() - 200);
        QByteArray forged = logo.left(2);
        forged += QByteArray(300, char(0xFF));
        QTest::newRow("start marker then garbage") << forged;
    }

    void damagedLogoLeavesAnEmptyPicture()
    {
        QFETCH(QByteArray, jpeg);
        QVERIFY(DecodeAboutLogo(jpeg).isNull());
        RecordingAbout about;
        about.window.LoadLogo(jpeg);
        about.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about.window));
        QVERIFY(about.child<QLabel>(QStringLiteral("Image2"))->pixmap().isNull());
        // The window still works: the logo still links, Escape still closes.
        QTest::mouseClick(about.child(QStringLiteral("Image2")), Qt::LeftButton);
        QCOMPARE(about.calls.size(), std::size_t(1));
        QTest::keyClick(&about.window, Qt::Key_Escape);
        QVERIFY(!about.window.isVisible());
    }

    void disclaimerIsThreeBrokenLinesThatFitItsBox()
    {
        RecordingAbout about;
        const auto* label = about.child<QLabel>(QStringLiteral("Label2"));
        const QString text = label->text();
        QCOMPARE(text, AboutDisclaimer());
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4); // three lines, each ended by a break
        QVERIFY(lines[3].isEmpty());
        QVERIFY(lines[0].endsWith(QLatin1Char(' ')));
        QVERIFY(lines[1].endsWith(QLatin1Char(' ')));
        QVERIFY(!lines[2].endsWith(QLatin1Char(' ')));
        QVERIFY(lines[0].contains(QStringLiteral("as is\",  ")));
        QVERIFY(!lines[0].contains(QStringLiteral("as is\",   ")));
        QCOMPARE(lines[1].count(QLatin1Char('"')), 2);

        QCOMPARE(label->geometry(), QRect(8, 112, 265, 94));
        QVERIFY(label->wordWrap());
        const QRect needed =
            QFontMetrics(label->font()).boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, text);
        QVERIFY2(needed.height() <= label->height(), qPrintable(QString::number(needed.height())));
    }
};

QTEST_MAIN(AboutTest)
#include "AboutTest.moc"
