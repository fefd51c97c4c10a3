// ShellRun against recording handlers in place of the desktop's browser and mail program.
#include "util/Utils1.h"

#include <QDesktopServices>
#include <QObject>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class ShellRunTest : public QObject {
    Q_OBJECT
private:
    UrlRecorder recorder_;

private slots:
    void init()
    {
        recorder_.opened.clear();
        for (const char* scheme : {"http", "https", "mailto"})
            QDesktopServices::setUrlHandler(scheme, &recorder_, "open");
    }
    void cleanup()
    {
        for (const char* scheme : {"http", "https", "mailto"})
            QDesktopServices::unsetUrlHandler(scheme);
    }

    void handsTheAddressToItsHandler_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("parameters");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("showCommand");
        QTest::addColumn<QUrl>("expected");
        QTest::newRow("home page, as the About window passes it")
            << "https://quelm.example.org/" << "" << "C:\\" << 5
            << QUrl("https://quelm.example.org/");
        QTest::newRow("address without a scheme")
            << "www.example.org/tovra" << "" << "" << 1 << QUrl("http://www.example.org/tovra");
        QTest::newRow("surrounding spaces")
            << "  https://example.org/a  " << "" << "" << 1 << QUrl("https://example.org/a");
        QTest::newRow("parameters and folder make no difference")
            << "https://example.org/" << "--new-window" << "/nonexistent" << 0
            << QUrl("https://example.org/");
    }
    void handsTheAddressToItsHandler()
    {
        QFETCH(QString, file);
        QFETCH(QString, parameters);
        QFETCH(QString, folder);
        QFETCH(int, showCommand);
        QFETCH(QUrl, expected);
        tovra::ShellRun(file.toStdString(), parameters.toStdString(), folder.toStdString(), showCommand);
        QCOMPARE(recorder_.opened, QList<QUrl>{expected});
    }

    // The mail text is passed unencoded, spaces and all; the mail program must still get the
    // whole subject, not the text up to the first space.
    void mailTextKeepsItsSubjectWithSpaces()
    {
        tovra::ShellRun("mailto:quelm@example.org?subject=Email inviata da Tovratovratovra&Body=",
                        "", "", 1);
        QCOMPARE(recorder_.opened.size(), 1);
        const QUrl url = recorder_.opened.first();
        QCOMPARE(url.scheme(), QString("mailto"));
        QCOMPARE(url.path(), QString("quelm@example.org"));
        const QUrlQuery query(url);
        QCOMPARE(query.queryItemValue("subject", QUrl::FullyDecoded),
                 QString("Email inviata da Tovratovratovra"));
        QVERIFY(query.hasQueryItem("Body"));
    }

    void emptyTextOpensNothing()
    {
        tovra::ShellRun("", "", "", 1);
        tovra::ShellRun("   ", "", "", 1);
        QVERIFY(recorder_.opened.isEmpty());
    }
};

QTEST_MAIN(ShellRunTest)
#include "ShellRunTest.moc"
