// The menus and every command from the keyboard: the texts as written, Redo by key and by menu,
// F10 and the access keys under Alt, and the key list that names every key.
#include "ui/AccessKeyStyle.h"
#include "ui/HelpWindow.h"
#include "ui/Unit1.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QShortcut>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QtTest>

namespace {
// What the player reads: the text without its access-key marker, without the key after a tab.
QString Shown(const QString& text) { return QString(text).remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0); }

QStringList Entries(const QMenu* menu)
{
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : Shown(action->text()));
    return entries;
}

// True when `wanted` appears within `entries` in this order, perhaps with others between.
bool InOrder(const QStringList& entries, const QStringList& wanted)
{
    qsizetype at = 0;
    for (const QString& entry : entries)
        if (at < wanted.size() && entry == wanted[at])
            ++at;
    if (at != wanted.size())
        qWarning() << "entries" << entries << "lack, in order," << wanted;
    return at == wanted.size();
}

QString KeyListOfTheHelp()
{
    QFile help(QStringLiteral(":/help/tovratovratovra.html"));
    if (!help.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(help.readAll());
    const qsizetype start = text.indexOf(QLatin1String("name=\"keys\""));
    return start < 0 ? QString() : text.mid(start, text.indexOf(QLatin1String("</table>"), start) - start);
}
// The text of a piece of the help's page.
QString PlainText(const QString& html) { return QTextDocumentFragment::fromHtml(html).toPlainText().simplified(); }

// The entry a path of shown texts leads to from the menu bar ("Edit > Redo"), or none.
QAction* MenuEntry(const QMenuBar* bar, const QString& path)
{
    QList<QAction*> entries = bar->actions();
    QAction* found = nullptr;
    for (const QString& step : path.split(QStringLiteral(" > "))) {
        const auto it = std::find_if(entries.begin(), entries.end(), [&](QAction* a) { return Shown(a->text()) == step; });
        if (it == entries.end())
            return nullptr;
        found = *it;
        entries = found->menu() ? found->menu()->actions() : QList<QAction*>();
    }
    return found;
}
} // namespace

class MenuKeysTest : public QObject {
    Q_OBJECT

    // The file layer the windows of these tests read and write record.dat through.
    tovra::PosixFileSystem files_;

    QTemporaryDir dir;
    QString previousDir;

    static bool open(TForm1& form)
    {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }
    static void click(TForm1& form, const char* id) { QTest::mouseClick(form.CellButton(id), Qt::LeftButton); }
    template <class T>
    static T* child(TForm1& form, const char* name) { return form.findChild<T*>(QLatin1String(name)); }

private slots:
    void init()
    {
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void cleanup() { QDir::setCurrent(previousDir); }

    // The access keys add an underline under Alt and nothing else: every text and key as before.
    void menusKeepTheirTextsAndKeys()
    {
        TForm1 form(files_);
        // Entries added later may stand between them; these keep their order.
        QVERIFY(InOrder(Entries(form.menuBar()->findChild<QMenu*>("File1")), {"New game", "-", "Close"}));
        QVERIFY(InOrder(Entries(form.menuBar()->findChild<QMenu*>("N2")),
                        {"Help", "Keys", "Can 100 still be reached?", "Best 20", "Statistics", "-", "About"}));
        QStringList titles;
        for (QAction* menu : form.menuBar()->actions())
            titles << Shown(menu->text());
        QVERIFY(InOrder(titles, {"File", "Edit", "?"}));
        const QList<std::pair<const char*, QString>> keys{{"Nuovapartita1", "F2"}, {"Esci1", "Esc"}, {"Help1", "F1"},
                                                          {"Raggiungibile1", "F3"}, {"Migliori201", ""},
                                                          {"About1", ""}};
        for (const auto& [name, key] : keys)
            QCOMPARE(child<QAction>(form, name)->shortcut().toString(), key);
        for (QMenu* menu : form.menuBar()->findChildren<QMenu*>()) {
            QSet<QChar> accessKeys;
            for (QAction* action : menu->actions()) {
                const QKeySequence key = QKeySequence::mnemonic(action->text());
                QVERIFY2(action->isSeparator() || !key.isEmpty(), qPrintable(action->text()));
                QVERIFY2(action->isSeparator() || !accessKeys.contains(action->text()[action->text().indexOf('&') + 1].toLower()),
                         qPrintable(action->text()));
                if (!action->isSeparator())
                    accessKeys << action->text()[action->text().indexOf('&') + 1].toLower();
            }
        }
    }

    void redoKeysAndMenuPlaceAgainWhatUndoTookBack()
    {
        TForm1 form(files_);
        QVERIFY(open(form));
        for (const char* id : {"bt0505", "bt0805", "bt0802", "bt0502"})
            click(form, id);
        form.findChild<QMenu*>("Edit1")->popup(form.mapToGlobal(QPoint(40, 0)));
        QVERIFY(!child<QAction>(form, "Redo1")->isEnabled()); // nothing to redo yet
        form.findChild<QMenu*>("Edit1")->hide();
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        child<QAction>(form, "Undo11")->trigger(); // the menu's Undo 1 presses the button
        QCOMPARE(form.Game().MoveCount, std::uint8_t(1));

        QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(form.Game().MoveCount, std::uint8_t(2));
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(form.CellButton("bt0802")->Caption(), QString("3"));
        QCOMPARE(form.ScorePanel()->text(), QString(" Score: 3"));
        form.findChild<QMenu*>("Edit1")->popup(form.mapToGlobal(QPoint(40, 0)));
        QVERIFY(child<QAction>(form, "Redo1")->isEnabled());
        child<QAction>(form, "Redo1")->trigger();
        QCOMPARE(form.CellButton("bt0502")->Caption(), QString("4"));
        QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier); // nothing left: nothing happens
        QCOMPARE(form.Game().MoveCount, std::uint8_t(4));
    }

    void f10OpensTheFirstMenuAndEscClosesOnlyIt()
    {
        TForm1 form(files_);
        QVERIFY(open(form));
        QTest::keyClick(&form, Qt::Key_F10);
        QTRY_COMPARE(QApplication::activePopupWidget(), form.findChild<QMenu*>("File1"));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(form.isVisible());
    }

    void accessKeysAreUnderlinedOnlyWhileAltIsHeld()
    {
        AccessKeyStyle style;
        TForm1 form(files_);
        QVERIFY(open(form));
        QCOMPARE(style.styleHint(QStyle::SH_UnderlineShortcut), 0);
        QTest::keyPress(&form, Qt::Key_Alt, Qt::AltModifier);
        QCOMPARE(style.styleHint(QStyle::SH_UnderlineShortcut), 1);
        QTest::keyRelease(&form, Qt::Key_Alt);
        QCOMPARE(style.styleHint(QStyle::SH_UnderlineShortcut), 0);
    }

    // The key list is the help's table: it must name every key the main window answers to.
    void theKeyListNamesEveryKey()
    {
        TForm1 form(files_);
        QVERIFY(open(form));
        const QString list = KeyListOfTheHelp();
        QVERIFY(!list.isEmpty());
        QStringList keys;
        for (QAction* action : form.findChildren<QAction*>())
            for (const QKeySequence& key : action->shortcuts())
                keys << key.toString();
        for (QShortcut* shortcut : form.findChildren<QShortcut*>())
            keys << shortcut->key().toString();
        QVERIFY(keys.contains("Ctrl+Shift+Z") && keys.contains("F10") && keys.contains("Ctrl+M"));
        for (const QString& key : keys)
            QVERIFY2(list.contains(">" + key + "<"), qPrintable(key));

        QTest::keyClick(&form, Qt::Key_F1, Qt::ControlModifier);
        auto* help = form.findChild<HelpWindow*>();
        QVERIFY(help && help->isVisible());
        QVERIFY(help->Browser()->verticalScrollBar()->value() > 0); // at the key list, not the top
    }

    // Each row of the key list names a menu entry that is there, with exactly the keys that
    // entry answers to; a row without an entry is a key of the board or of the menus themselves.
    void theKeyListRowsAreTheMenusOwn()
    {
        TForm1 form(files_);
        QVERIFY(open(form));
        static const QRegularExpression row(QStringLiteral("<tr><td( class=\"key\")?>(.*?)</td><td>(.*?)</td>"),
                                            QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression oneKey(QStringLiteral("<span>(.*?)</span>"));
        int entries = 0;
        for (auto rows = row.globalMatch(KeyListOfTheHelp()); rows.hasNext();) {
            const QRegularExpressionMatch match = rows.next();
            const QString path = PlainText(match.captured(3));
            if (path.isEmpty())
                continue;
            QStringList listed;
            for (auto keys = oneKey.globalMatch(match.captured(2)); keys.hasNext();)
                listed << keys.next().captured(1);
            if (listed.isEmpty() && !PlainText(match.captured(2)).isEmpty())
                listed << PlainText(match.captured(2));
            const QAction* entry = MenuEntry(form.menuBar(), path);
            QVERIFY2(entry, qPrintable(path));
            QStringList answers;
            for (const QKeySequence& key : entry->shortcuts())
                answers << key.toString();
            // An entry that does what a button does shows the button's key after a tab.
            const QString shown = entry->text().section(QLatin1Char('\t'), 1);
            if (answers.isEmpty() && !shown.isEmpty()) {
                const QList<QShortcut*> keys = form.findChildren<QShortcut*>();
                QVERIFY2(std::any_of(keys.begin(), keys.end(), [&](QShortcut* key) { return key->key().toString() == shown; }),
                         qPrintable(path + ": " + shown + " shown, answered by nothing"));
                answers << shown;
            }
            listed.sort();
            answers.sort();
            QVERIFY2(listed == answers, qPrintable(path + ": " + listed.join(' ') + " listed, " + answers.join(' ') + " answered"));
            ++entries;
        }
        QVERIFY(entries >= 20);
    }
};

QTEST_MAIN(MenuKeysTest)
#include "MenuKeysTest.moc"
