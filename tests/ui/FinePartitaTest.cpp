// The end-of-game dialog driven as a player drives it: rank, name, "Ok", Enter, Esc, close box,
// and what lands in the table and in "record.dat".
#include "core/CellId.h"
#include "core/DateTime.h"
#include "core/InMemoryBoard.h"
#include "core/SplitMix64.h"
#include "records/RecordFile.h"
#include "ui/ApplicationTitle.h"
#include "ui/UnitFinePartita.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cmath>

using namespace tovra;

namespace {
// A stored game that can be told apart from every other: its name, scheme and reserved bytes
// carry the tag.
BestRecord StoredGame(int score, int tag)
{
    BestRecord record;
    SetRecordName(record, "Player " + std::to_string(tag));
    record.Score = static_cast<std::uint8_t>(score);
    record.SetDate(EncodeDate(2020, 1 + tag % 12, 1 + tag));
    record.SetSchemeAt(1 + tag % 10, 1 + tag / 10 % 10, static_cast<std::uint8_t>(score));
    record.Reserved = {static_cast<std::uint8_t>(tag), 1, 2, 3};
    return record;
}

// Scores 0 stand for fresh records.
BestTable TableOfScores(const QList<int>& scores)
{
    BestTable table = FreshTable();
    for (int i = 0; i < scores.size(); ++i)
        if (scores[i] != 0)
            table.Records[static_cast<std::size_t>(i)] = StoredGame(scores[i], i + 1);
    return table;
}

// Numbers 1..score on distinct cells in a fixed scatter; the other cells stay free.
void PlaceNumbers(InMemoryBoard& board, int score, unsigned seed)
{
    std::array<int, 100> order{};
    for (int i = 0; i < 100; ++i)
        order[static_cast<std::size_t>(i)] = i;
    tovra::SplitMix64(seed).Shuffle(order);
    for (int number = 1; number <= score; ++number) {
        const int slot = order[static_cast<std::size_t>(number - 1)];
        board.SetCaption(board.FindCell(MakeCellId(slot / 10 + 1, slot % 10 + 1)), std::to_string(number));
    }
}

QByteArray FileBytes()
{
    QFile file(QStringLiteral("record.dat"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

BestTable TableOnDisk()
{
    const QByteArray bytes = FileBytes();
    if (bytes.size() != static_cast<qsizetype>(TableSize))
        return BestTable{};
    return DecodeTable(std::span<const std::uint8_t, TableSize>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                                TableSize));
}

int CountNamed(const BestTable& table, const std::string& name)
{
    return static_cast<int>(std::count_if(table.Records.begin(), table.Records.end(),
                                          [&](const BestRecord& r) { return RecordName(r) == name; }));
}

// Closes every message box that comes up while it lives, noting what each said.
class MessageBoxCloser {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };

    MessageBoxCloser()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen.append({box->windowTitle(), box->text(), box->icon()});
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    QList<Seen> seen;

private:
    QTimer timer_;
};

// The finished game the dialog is shown for, with its window.
struct Scene {
    GameState game;
    InMemoryBoard board;
    BestTable table;
    PosixFileSystem files;
    RecordFile file{RecordFileName, files}; // record.dat in the test's folder
    std::unique_ptr<TFormFinePartita> dialog;

    Scene(const BestTable& start, int score, unsigned seed = 1)
        : table(start)
    {
        game.MoveCount = static_cast<std::uint8_t>(score);
        PlaceNumbers(board, score, seed);
        dialog = std::make_unique<TFormFinePartita>(game, board, table, file);
    }
    bool open()
    {
        dialog->show();
        dialog->activateWindow();
        return QTest::qWaitForWindowActive(dialog.get());
    }
    QLineEdit* name() const { return dialog->findChild<QLineEdit*>(QStringLiteral("EditNome")); }
    QLabel* score() const { return dialog->findChild<QLabel*>(QStringLiteral("LabelPunteggio")); }
    TFlatSpeedButton* ok() const { return dialog->findChild<TFlatSpeedButton*>(QStringLiteral("BtnOk")); }
    QWidget* child(const char* objectName) const { return dialog->findChild<QWidget*>(QLatin1String(objectName)); }
    void clickOk() const { QTest::mouseClick(ok(), Qt::LeftButton); }
};

double Today() { return std::floor(LocalNow()); }
} // namespace

class FinePartitaTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString previousDir_;

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        previousDir_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        QFile::remove(QStringLiteral("record.dat"));
        QDir(dir_.path()).rmdir(QStringLiteral("record.dat"));
    }
    void cleanup() { QDir::setCurrent(previousDir_); }

    void gameEntersAtItsRankAndTheRestMoveDown_data()
    {
        QTest::addColumn<QList<int>>("scores");
        QTest::addColumn<int>("gameScore");
        QTest::addColumn<int>("rank");
        // For each rank after "Ok": the old rank whose record it holds, 0 for the new game.
        QTest::addColumn<QList<int>>("holds");

        QList<int> sequence;
        for (int k = 1; k <= 20; ++k)
            sequence.append(k);
        const QList<int> fresh(20, 0);
        QList<int> full;
        for (int k = 0; k < 20; ++k)
            full.append(60 - k); // 60 ... 41

        QList<int> firstIsNew = sequence.mid(0, 19);
        firstIsNew.prepend(0);
        QTest::newRow("fresh table, score 7") << fresh << 7 << 1 << firstIsNew;

        QList<int> tie = {50, 45, 40, 35, 30, 28};
        tie.append(QList<int>(14, 0));
        QList<int> tieHolds = {1, 2, 3, 4, 0, 5, 6};
        tieHolds.append(sequence.mid(6, 13));
        QTest::newRow("score 30 ranks above the older 30") << tie << 30 << 5 << tieHolds;

        QList<int> lastReplaced = sequence.mid(0, 19);
        lastReplaced.append(0);
        QTest::newRow("full table, last equal: last replaced") << full << 41 << 20 << lastReplaced;

        QTest::newRow("full table, last higher: no rank") << full << 40 << 0 << sequence;
    }
    void gameEntersAtItsRankAndTheRestMoveDown()
    {
        QFETCH(QList<int>, scores);
        QFETCH(int, gameScore);
        QFETCH(int, rank);
        QFETCH(QList<int>, holds);

        const BestTable before = TableOfScores(scores);
        Scene scene(before, gameScore);
        QVERIFY(scene.open());
        QCOMPARE(scene.dialog->InsertPosition(), rank);
        QCOMPARE(scene.score()->text(), QString::number(gameScore));
        const bool ranks = rank != 0;
        for (const char* part : {"BevelNome", "LabelInsNome", "EditNome"})
            QCOMPARE(scene.child(part)->isVisible(), ranks);
        if (ranks)
            QCOMPARE(QApplication::focusWidget(), scene.name());

        if (ranks)
            QTest::keyClicks(scene.name(), QStringLiteral("Ann"));
        const double dayBefore = Today();
        scene.clickOk();
        const double dayAfter = Today();
        QVERIFY(!scene.dialog->isVisible());

        for (int r = 1; r <= 20; ++r) {
            const int old = holds[r - 1];
            if (old != 0) {
                QVERIFY2(scene.table.ByRank(r) == before.ByRank(old), qPrintable(QStringLiteral("rank %1").arg(r)));
                continue;
            }
            const BestRecord& entered = scene.table.ByRank(r);
            QCOMPARE(RecordName(entered), std::string("Ann"));
            QCOMPARE(int(entered.Score), gameScore);
            QVERIFY(entered.Date() == dayBefore || entered.Date() == dayAfter);
            QCOMPARE(entered.SchemeBytes, scene.dialog->FinalScheme());
        }
        if (ranks)
            QVERIFY(TableOnDisk() == scene.table);
        else
            QVERIFY(!QFile::exists(QStringLiteral("record.dat")));
    }

    void storedSchemeIsTheFinalBoard_data()
    {
        QTest::addColumn<int>("score");
        QTest::addColumn<unsigned>("seed");
        QTest::newRow("complete board") << 100 << 7u;
        QTest::newRow("57 numbers, free cells") << 57 << 3u;
        QTest::newRow("one number") << 1 << 11u;
    }
    void storedSchemeIsTheFinalBoard()
    {
        QFETCH(int, score);
        QFETCH(unsigned, seed);
        Scene scene(FreshTable(), score, seed);
        QVERIFY(scene.open());
        scene.clickOk();

        const BestRecord& entered = scene.table.ByRank(1);
        QList<int> seen(101, 0);
        for (int r = 1; r <= 10; ++r)
            for (int c = 1; c <= 10; ++c) {
                const std::string caption = scene.board.At(r, c).caption;
                const int v = entered.SchemeAt(r, c);
                QCOMPARE(v, caption.empty() ? 0 : std::stoi(caption));
                ++seen[v];
            }
        for (int number = 1; number <= 100; ++number)
            QCOMPARE(seen[number], number <= score ? 1 : 0);
        QCOMPARE(seen[0], 100 - score);
        QCOMPARE(entered.Date(), std::floor(entered.Date()));
    }

    void nameKeepsItsFirst30Characters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("short") << QStringLiteral("Ann") << QStringLiteral("Ann");
        QTest::newRow("accented") << QStringLiteral("Zoë Müller") << QStringLiteral("Zoë Müller");
        QTest::newRow("35 typed") << QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789").left(35)
                                  << QStringLiteral("abcdefghijklmnopqrstuvwxyz0123");
    }
    void nameKeepsItsFirst30Characters()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        Scene scene(FreshTable(), 12);
        QVERIFY(scene.open());
        // The test keyboard types Latin letters only; other text arrives as a paste.
        if (QRegularExpression(QStringLiteral("^[ -~]*$")).match(typed).hasMatch())
            QTest::keyClicks(scene.name(), typed);
        else
            scene.name()->insert(typed);
        scene.clickOk();
        QCOMPARE(QString::fromStdString(RecordName(scene.table.ByRank(1))), stored);
        QCOMPARE(QString::fromStdString(RecordName(TableOnDisk().ByRank(1))), stored);
    }

    // What record.dat cannot hold is refused as it comes, with a word below the box; the rest of
    // the name goes in unchanged, byte for byte.
    void aNameTakesOnlyWhatCanBeStored_data()
    {
        QTest::addColumn<QStringList>("pieces"); // typed keys or pastes, one after the other
        QTest::addColumn<QString>("inTheBox");
        QTest::addColumn<QString>("hint"); // empty: none shown at the end
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("code page letters, euro sign") << QStringList{"Z", "o", "ë", " ", "A", "b", "€", "Œ", "™"}
                                                      << "Zoë Ab€Œ™" << "" << QByteArray("\x09Zo\xEB Ab\x80\x8C\x99");
        QTest::newRow("a Cyrillic letter typed") << QStringList{"D", "Д"} << "D" << "Cannot be stored in a name: Д"
                                                 << QByteArray("\x01" "D");
        QTest::newRow("a mixed paste") << QStringList{"Łukasz Дима 王"} << ""
                                       << "Cannot be stored in a name: Ł Д и м а …" << QByteArray("\x00");
        QTest::newRow("typing on clears the word") << QStringList{"王", "a"} << "a" << "" << QByteArray("\x01" "a");
        QTest::newRow("a character beyond 16 bits") << QStringList{"x", "\U0001F600"} << "x"
                                                    << "Cannot be stored in a name: \U0001F600" << QByteArray("\x01x");
    }
    void aNameTakesOnlyWhatCanBeStored()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QString, inTheBox);
        QFETCH(QString, hint);
        QFETCH(QByteArray, stored);
        Scene scene(FreshTable(), 12);
        QVERIFY(scene.open());
        auto* word = scene.dialog->findChild<QLabel*>(QStringLiteral("LabelNameHint"));
        QVERIFY(word && word->isHidden());
        for (const QString& piece : pieces) {
            if (piece.size() == 1 || piece.toUcs4().size() == 1) { // a key that types it
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, piece);
                QApplication::sendEvent(scene.name(), &press);
            } else {
                scene.name()->insert(piece);
            }
        }
        QCOMPARE(scene.name()->text(), inTheBox);
        QCOMPARE(word->isVisible(), !hint.isEmpty());
        if (!hint.isEmpty())
            QCOMPARE(word->text(), hint);
        scene.clickOk();
        QCOMPARE(FileBytes().left(stored.size()), stored);
    }

    // The player's paste, through the clipboard, from the keyboard and from the box's own menu
    // action alike: refused whole, with the word, and the name typed so far kept.
    void aRefusedPasteIsNamedBelowTheBox()
    {
        Scene scene(FreshTable(), 12);
        QVERIFY(scene.open());
        auto* word = scene.dialog->findChild<QLabel*>(QStringLiteral("LabelNameHint"));
        QVERIFY(word);
        QTest::keyClicks(scene.name(), QStringLiteral("Ann"));
        QApplication::clipboard()->setText(QStringLiteral(" \u0141ukasz"));
        scene.name()->paste();
        QCOMPARE(scene.name()->text(), QStringLiteral("Ann"));
        QVERIFY(word->isVisible());
        QCOMPARE(word->text(), QStringLiteral("Cannot be stored in a name: \u0141"));
        QTest::keyClicks(scene.name(), QStringLiteral("a"));
        QVERIFY(word->isHidden());
        QApplication::clipboard()->setText(QStringLiteral("\u738B"));
        QTest::keySequence(scene.name(), QKeySequence::Paste);
        QCOMPARE(scene.name()->text(), QStringLiteral("Anna"));
        QCOMPARE(word->text(), QStringLiteral("Cannot be stored in a name: \u738B"));
        QVERIFY(word->isVisible());
    }

    void enterInTheNameBoxActsAsOk_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void enterInTheNameBoxActsAsOk()
    {
        QFETCH(int, key);
        Scene scene(TableOfScores({40, 20}), 25);
        QVERIFY(scene.open());
        QTest::keyClicks(scene.name(), QStringLiteral("Bo"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(!scene.dialog->isVisible());
        QCOMPARE(scene.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(RecordName(scene.table.ByRank(2)), std::string("Bo"));
        QCOMPARE(int(scene.table.ByRank(3).Score), 20);
        QVERIFY(TableOnDisk() == scene.table);
    }

    // Without the name box nothing takes the focus: Enter and Space press "Ok", which only closes.
    void withoutRankEnterSpaceAndOkOnlyClose_data()
    {
        QTest::addColumn<QString>("answer");
        for (const char* answer : {"Return", "Enter", "Space", "click"})
            QTest::newRow(answer) << QString::fromLatin1(answer);
    }
    void withoutRankEnterSpaceAndOkOnlyClose()
    {
        QFETCH(QString, answer);
        QList<int> full(20, 50);
        Scene scene(TableOfScores(full), 49);
        QVERIFY(scene.open());
        if (answer == "click")
            scene.clickOk();
        else
            QTest::keyClick(scene.dialog.get(), QKeySequence::fromString(answer)[0].key());
        QVERIFY(!scene.dialog->isVisible());
        QCOMPARE(scene.dialog->result(), int(QDialog::Accepted));
        QVERIFY(scene.table == TableOfScores(full));
        QVERIFY(!QFile::exists(QStringLiteral("record.dat")));
    }

    // The Enter or Space that placed the last number, still held, must neither answer the dialog
    // nor type into the name box.
    void aHeldKeyDoesNotAnswer_data()
    {
        QTest::addColumn<int>("score");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("Enter, ranks, focus in the name box") << 30 << int(Qt::Key_Return) << QStringLiteral("\r");
        QTest::newRow("Enter, does not rank") << 1 << int(Qt::Key_Return) << QStringLiteral("\r");
        QTest::newRow("Space, ranks, focus in the name box") << 30 << int(Qt::Key_Space) << QStringLiteral(" ");
        QTest::newRow("Space, does not rank") << 1 << int(Qt::Key_Space) << QStringLiteral(" ");
    }
    void aHeldKeyDoesNotAnswer()
    {
        QFETCH(int, score);
        QFETCH(int, key);
        QFETCH(QString, text);
        Scene scene(TableOfScores(QList<int>(20, 20)), score);
        QVERIFY(scene.open());
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : scene.dialog.get();
        QKeyEvent held(QEvent::KeyPress, key, Qt::NoModifier, text, true);
        QApplication::sendEvent(target, &held);
        QVERIFY(scene.dialog->isVisible());
        QCOMPARE(scene.name()->text(), QString());
        QVERIFY(scene.table == TableOfScores(QList<int>(20, 20)));
    }

    void escapeLeavesTheDialogOpen_data()
    {
        QTest::addColumn<int>("score");
        QTest::newRow("ranks, focus in the name box") << 30;
        QTest::newRow("does not rank") << 1;
    }
    void escapeLeavesTheDialogOpen()
    {
        QFETCH(int, score);
        QList<int> scores(20, 0);
        scores[19] = 2;
        for (int i = 0; i < 19; ++i)
            scores[i] = 60;
        Scene scene(TableOfScores(scores), score);
        QVERIFY(scene.open());
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : scene.dialog.get();
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(scene.dialog->isVisible());
        QVERIFY(scene.table == TableOfScores(scores));
    }

    void closeBoxEntersNothing()
    {
        Scene scene(FreshTable(), 9);
        QVERIFY(scene.open());
        QTest::keyClicks(scene.name(), QStringLiteral("Cy"));
        QVERIFY(scene.dialog->close());
        QCOMPARE(scene.dialog->result(), int(QDialog::Rejected));
        QVERIFY(scene.table == FreshTable());
        QVERIFY(!QFile::exists(QStringLiteral("record.dat")));
    }

    void leavingAndComingBackKeepsTheTypedName()
    {
        Scene scene(TableOfScores({40, 20}), 30);
        QVERIFY(scene.open());
        QTest::keyClicks(scene.name(), QStringLiteral("Half a na"));
        // The table cannot change under a modal dialog; a changed one shows that the rank is
        // not looked for again when the dialog comes back.
        scene.table = FreshTable();

        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        scene.dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(scene.dialog.get()));

        QCOMPARE(scene.name()->text(), QStringLiteral("Half a na"));
        QCOMPARE(scene.dialog->InsertPosition(), 2);
        QVERIFY(scene.name()->isVisible());
    }

    void failedSaveShowsTheErrorAndOkRetriesOnlyTheSave()
    {
        // A directory where the file belongs makes the replacement fail with an I/O error.
        QVERIFY(QDir().mkdir(QStringLiteral("record.dat")));
        const BestTable before = TableOfScores({70, 50, 30});
        Scene scene(before, 60);
        QVERIFY(scene.open());
        QTest::keyClicks(scene.name(), QStringLiteral("Dee"));

        MessageBoxCloser boxes;
        scene.clickOk();
        scene.clickOk();
        QCOMPARE(boxes.seen.size(), 2);
        for (const auto& box : boxes.seen) {
            QCOMPARE(box.title, ApplicationTitle());
            QCOMPARE(box.text, QString::fromStdString(IoError::NotAFile("record.dat", FileKind::Directory).BoxText()));
            QCOMPARE(box.icon, QMessageBox::Critical);
        }
        QVERIFY(scene.dialog->isVisible());
        QCOMPARE(CountNamed(scene.table, "Dee"), 1);
        QCOMPARE(RecordName(scene.table.ByRank(2)), std::string("Dee"));
        QVERIFY(scene.table.ByRank(3) == before.ByRank(2));

        QVERIFY(QDir().rmdir(QStringLiteral("record.dat")));
        scene.clickOk();
        QCOMPARE(boxes.seen.size(), 2);
        QVERIFY(!scene.dialog->isVisible());
        QCOMPARE(CountNamed(scene.table, "Dee"), 1);
        QVERIFY(scene.table.ByRank(3) == before.ByRank(2));
        QVERIFY(scene.table.ByRank(4) == before.ByRank(3));
        QVERIFY(TableOnDisk() == scene.table);
    }

    void writeProtectedPlaceSkipsTheSaveSilently()
    {
        // Nobody, root included, may create files in sysfs: the save is skipped, not an error.
        if (!QDir::setCurrent(QStringLiteral("/sys")) || QFile::exists(QStringLiteral("record.dat")))
            QSKIP("no sysfs to stand in for a write-protected directory");
        Scene scene(FreshTable(), 5);
        QVERIFY(scene.open());
        MessageBoxCloser boxes;
        scene.clickOk();
        QVERIFY(!scene.dialog->isVisible());
        QCOMPARE(boxes.seen.size(), 0);
        QCOMPARE(int(scene.table.ByRank(1).Score), 5);
        QVERIFY(!QFile::exists(QStringLiteral("record.dat")));
    }

    void windowLooksAsLaidOut()
    {
        Scene scene(FreshTable(), 42);
        QVERIFY(scene.open());
        QCOMPARE(scene.dialog->size(), QSize(244, 140));
        QCOMPARE(scene.dialog->windowTitle(), QStringLiteral("Fine partita!"));
        QVERIFY(!(scene.dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(scene.dialog->windowFlags() & Qt::WindowContextHelpButtonHint));
        QCOMPARE(scene.ok()->geometry(), QRect(163, 108, 75, 25));
        QCOMPARE(scene.ok()->Caption(), QStringLiteral("Ok"));
        QCOMPARE(scene.name()->geometry(), QRect(106, 73, 121, 21));
        QCOMPARE(scene.name()->maxLength(), 30);
        const QImage shot = scene.dialog->grab().toImage();
        QCOMPARE(shot.pixelColor(2, 2), QColor(255, 232, 169));
        QCOMPARE(shot.pixelColor(2, 137), QColor(255, 232, 169));
    }
};

QTEST_MAIN(FinePartitaTest)
#include "FinePartitaTest.moc"
