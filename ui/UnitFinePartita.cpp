#include "UnitFinePartita.h"

#include "ApplicationTitle.h"
#include "NameValidator.h"
#include "WindowLook.h"
#include "core/BoardTraversal.h"
#include "core/Colors.h"
#include "records/RecordFile.h"
#include "ui/widgets/TFlatSpeedButton.h"
#include "util/Utils1.h"
#include "ui_TFormFinePartita.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>

using namespace tovra;

namespace {
// A caption's number: its first 5 characters read as a decimal integer, 0 when empty or not
// a number. Stored as a byte, like every scheme cell.
std::uint8_t CaptionNumber(const std::string& caption)
{
    try {
        return static_cast<std::uint8_t>(TolerantStrToInt(std::string_view(caption).substr(0, 5)));
    } catch (const ConvertError&) {
        return 0;
    }
}
} // namespace

TFormFinePartita::TFormFinePartita(GameState& game, BoardView& board, BestTable& table, RecordFile& file,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TFormFinePartita>())
    , game_(game)
    , board_(board)
    , table_(table)
    , file_(file)
{
    ApplyWindowLook(this);
    ui->setupUi(this);
    setFixedSize(244, 140);

    ui->Label1->setFont(HeadlineFont(13));
    ui->Label2->setFont(HeadlineFont(13));
    ui->LabelPunteggio->setFont(HeadlineFont(16));
    ui->Label1->adjustSize();
    ui->Label2->adjustSize();
    ui->LabelInsNome->adjustSize();

    ui->BtnOk->SetCaption(QStringLiteral("Ok"));
    connect(ui->BtnOk, &TFlatSpeedButton::OnClick, this, [this] { BtnOkClick(); });
    ui->EditNome->installEventFilter(this);
    ui->EditNome->setValidator(new NameValidator(ui->EditNome));
    // The box says so while it still holds the refused edit, before putting the name back: what
    // it holds then names the characters it could not take. A refusal for length names none.
    connect(ui->EditNome, &QLineEdit::inputRejected, this, [this] {
        if (const QString refused = UnstorableCharacters(ui->EditNome->text()); !refused.isEmpty())
            showNameHint(refused);
    });
    QPalette hintColour = ui->LabelNameHint->palette();
    hintColour.setColor(QPalette::WindowText, Appearance::Of(this).Ink(QColor(0xA0, 0x10, 0x10)));
    ui->LabelNameHint->setPalette(hintColour);
    connect(ui->EditNome, &QLineEdit::textEdited, ui->LabelNameHint, &QWidget::hide);
}

void TFormFinePartita::showNameHint(const QString& refused)
{
    // A few of them are enough to show what is meant.
    constexpr int Shown = 5;
    const QList<uint> characters = refused.toUcs4();
    QStringList listed;
    for (qsizetype i = 0; i < std::min<qsizetype>(characters.size(), Shown); ++i) {
        const auto c = static_cast<char32_t>(characters[i]);
        listed << QString::fromUcs4(&c, 1);
    }
    if (characters.size() > Shown)
        listed << QStringLiteral("\u2026");
    ui->LabelNameHint->setText(QStringLiteral("Cannot be stored in a name: ") + listed.join(QLatin1Char(' ')));
    ui->LabelNameHint->show();
}

TFormFinePartita::~TFormFinePartita() = default;

void TFormFinePartita::FormActivate()
{
    ui->LabelPunteggio->setText(QString::number(game_.MoveCount));
    ui->EditNome->clear();
    ui->LabelNameHint->hide();
    insertPosition_ = tovra::InsertPosition(table_, game_.MoveCount);
    setNameRowVisible(insertPosition_ != 0);
}

void TFormFinePartita::setNameRowVisible(bool visible)
{
    ui->BevelNome->setVisible(visible);
    ui->LabelInsNome->setVisible(visible);
    ui->EditNome->setVisible(visible);
    if (visible)
        ui->EditNome->setFocus(Qt::OtherFocusReason);
}

std::array<std::uint8_t, 100> TFormFinePartita::FinalScheme() const
{
    std::array<std::uint8_t, 100> scheme{};
    ForEachCellId([&](const std::string& id, int row, int column) {
        scheme[static_cast<std::size_t>(10 * (row - 1) + (column - 1))] =
            CaptionNumber(board_.Caption(board_.FindCell(id)));
    });
    return scheme;
}

void TFormFinePartita::BtnOkClick()
{
    if (insertPosition_ != 0) {
        if (!gameEntered_) {
            // The record keeps the name's first 30 characters (whole characters, not UTF-16 units).
            InsertGame(table_, insertPosition_, ui->EditNome->text().toStdString(), game_.MoveCount, LocalNow(),
                       FinalScheme());
            gameEntered_ = true;
            // A retry saves the name already entered, so the box must not suggest otherwise.
            ui->EditNome->setReadOnly(true);
        }
        try {
            // Another copy of the game may have saved meanwhile: the game then goes into the
            // file's table, which becomes ours. Skipped (a write-protected or unreadable file)
            // and a game that no longer ranks there need no word to the player.
            const BestRecord game = table_.ByRank(insertPosition_);
            if (file_.Save(table_, game) == SaveOutcome::Saved)
                savedName_ = RecordName(game);
        } catch (const IoError& error) {
            // The game stays in the table and the dialog stays open, so "Ok" can try the save again.
            QMessageBox::critical(this, ApplicationTitle(), QString::fromStdString(error.BoxText()));
            activateWindow(); // Enter in the name box retries, also where no window manager refocuses
            ui->EditNome->setFocus();
            return;
        }
    }
    accept();
}

bool TFormFinePartita::EditNomeKeyPress(QChar key)
{
    if (key != QChar(13))
        return false;
    BtnOkClick();
    return true;
}

bool TFormFinePartita::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->EditNome && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // A held Space or Enter that placed the last number must neither type into the name nor
        // store an empty one: only a fresh press counts.
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if ((enter || key->key() == Qt::Key_Space) && key->isAutoRepeat())
            return true;
        // Return and the keypad's Enter both type character 13.
        if (enter && EditNomeKeyPress(QChar(13)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormFinePartita::keyPressEvent(QKeyEvent* event)
{
    // A reflex Esc must not throw away a ranked game: only "Ok", Enter and the close box end
    // this dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // Without the name box nothing else takes a key: Enter and Space answer "Ok", as they would
    // a focused button.
    const bool okKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space;
    if (okKey && ui->EditNome->isHidden() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        if (!event->isAutoRepeat())
            ui->BtnOk->PressAndRelease(Qt::LeftButton);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormFinePartita::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // restored from the task bar: the same showing goes on
    CentreOnScreen(this);
    // Once the game stands in the table its rank must not be looked for again.
    if (!setUpDone_ && !gameEntered_)
        FormActivate();
    setUpDone_ = true;
}

void TFormFinePartita::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        setUpDone_ = false;
}
