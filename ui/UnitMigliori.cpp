#include "UnitMigliori.h"

#include "BoardCodeCommands.h"
#include "GameViewer.h"
#include "WindowLook.h"
#include "core/GameReplay.h"
#include "records/BestRecord.h"
#include "core/BoardTraversal.h"
#include "core/Colors.h"
#include "ui/widgets/SchemeCell.h"
#include "ui/widgets/StateShapes.h"
#include "ui/widgets/TFlatSpeedButton.h"
#include "ui/widgets/TShape.h"
#include "util/Utils1.h"
#include "ui_TFormMigliori.h"

#include <QDate>
#include <QLabel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QScreen>

#include <algorithm>

using namespace tovra;

namespace {

constexpr Color SchemeCellColor = 0xCDFAFF;
constexpr int RowHeight = 16;
constexpr int GridLine = 1;
// Name, score and date; each column also holds its 1-pixel grid line, so together they fill
// the 297 pixels inside the frame exactly.
constexpr int ColumnWidths[3] = {180, 40, 74};

const QString NoGame = QStringLiteral("-----");
} // namespace

TFormMigliori::TFormMigliori(const BestTable& table, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TFormMigliori>())
    , table_(table)
{
    ApplyWindowLook(this);
    ui->setupUi(this);
    setFixedSize(553, 376);

    for (QLabel* heading : {ui->Label21, ui->Label22, ui->Label23})
        heading->adjustSize();
    QPalette black = ui->Label24->palette();
    black.setColor(QPalette::WindowText, Appearance::Of(this).Ink(Qt::black));
    ui->Label24->setPalette(black);

    QFont bold = font();
    bold.setBold(true);
    ui->BtnEsci->setFont(bold);
    ui->BtnEsci->SetCaption(QStringLiteral("Exit"));
    connect(ui->BtnEsci, &TFlatSpeedButton::OnClick, this, [this] { BtnEsciClick(); });

    QTableWidget* grid = ui->SgMigliori;
    grid->setFont(font());
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(RowHeight + GridLine);
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setStretchLastSection(false);
    for (int row = 0; row < RecordCount; ++row)
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            grid->setItem(row, column, item);
        }
    grid->setTextElideMode(Qt::ElideNone); // a long name is cut at the cell's edge, never given a "…"
    connect(grid, &QTableWidget::itemSelectionChanged, this, [this, grid] {
        // One row is always selected: a Ctrl+click that clears the selection selects the row again.
        if (grid->selectedItems().isEmpty() && grid->currentRow() >= 0) {
            grid->selectRow(grid->currentRow());
            return;
        }
        SgMiglioriClick();
    });
    connect(grid, &QTableWidget::cellClicked, this, [this] { SgMiglioriClick(); });
    connect(grid, &QTableWidget::cellDoubleClicked, this, [this] { ReplaySelectedGame(); });

    createLabels();
    // Keyboard preview: the window sees every key before the control that has the focus.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    FormCreate();
}

TFormMigliori::~TFormMigliori() = default;

void TFormMigliori::createLabels()
{
    for (int rank = 1; rank <= RecordCount; ++rank) {
        auto* label = new QLabel(QString::number(rank) + QChar(0xB0), this);
        label->setObjectName(QStringLiteral("Label%1").arg(rank));
        label->setGeometry(3, 25 + 17 * (rank - 1), 15, 13);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }

    QPalette cellPalette = palette();
    const Look& look = Appearance::Of(this);
    cellPalette.setColor(QPalette::Window, look.Fill(ToQColor(SchemeCellColor)));
    cellPalette.setColor(QPalette::WindowText, look.Ink(Qt::black));
    ForEachCellId(
        [&](const std::string& id, int row, int column) {
            auto* label = new SchemeCell(this);
            label->setObjectName(QString::fromStdString(id));
            label->setGeometry(332 + 21 * (column - 1), 28 + 21 * (row - 1), 19, 19);
            label->setAlignment(Qt::AlignCenter);
            label->setTextFormat(Qt::PlainText);
            label->setPalette(cellPalette);
            label->setAutoFillBackground(true);
            schemeLabels_[static_cast<std::size_t>(10 * (row - 1) + (column - 1))] = label;
        },
        "lb");
}

SchemeCell* TFormMigliori::SchemeLabel(int row, int column) const
{
    return schemeLabels_.at(static_cast<std::size_t>(10 * (row - 1) + (column - 1)));
}

void TFormMigliori::FormCreate()
{
    gridMade_ = true;
    sizeGrid();
}

void TFormMigliori::sizeGrid()
{
    const Look& look = Appearance::Of(this);
    ui->SgMigliori->verticalHeader()->setDefaultSectionSize(look.Px(RowHeight + GridLine));
    for (int column = 0; column < 3; ++column)
        ui->SgMigliori->setColumnWidth(column, look.Px(ColumnWidths[column] + GridLine));
}

void TFormMigliori::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange && gridMade_)
        sizeGrid();
}

void TFormMigliori::FormActivate()
{
    QTableWidget* grid = ui->SgMigliori;
    const QLocale locale;
    for (int rank = 1; rank <= RecordCount; ++rank) {
        const BestRecord& record = table_.ByRank(rank);
        const int row = rank - 1;
        grid->item(row, 0)->setText(QString::fromStdString(RecordName(record)));
        // A date that is no calendar day (NaN, negative, far future: a foreign file) counts as
        // no game, like 0.
        const std::optional<CivilDate> day = RecordDate(record);
        grid->item(row, 1)->setText(day ? QString::number(record.Score) : NoGame);
        grid->item(row, 2)->setText(day ? locale.toString(QDate(day->year, day->month, day->day), QLocale::ShortFormat)
                                        : NoGame);
    }
    grid->setCurrentCell(0, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid->scrollToTop();
    ShowScheme();
}

void TFormMigliori::ShowScheme()
{
    const int row = std::max(ui->SgMigliori->currentRow(), 0);
    const BestRecord& record = table_.ByRank(row + 1);
    int score = 0;
    try {
        score = TolerantStrToInt(ui->SgMigliori->item(row, 1)->text().toStdString());
    } catch (const ConvertError&) {
        score = 0; // the column holds only numbers and "-----"
    }
    ForEachCellId(
        [&](const std::string&, int r, int c) {
            SchemeCell* label = SchemeLabel(r, c);
            const int v = record.SchemeAt(r, c);
            // The last number is told by its red; with shapes, by its bar as on the board.
            label->SetStateShapes(v != 0 && v == score ? LastNumberShape : NoShape);
            if (v == 0) {
                label->clear();
                return;
            }
            QFont labelFont = label->font();
            labelFont.setBold(v == 1);
            label->setFont(labelFont);
            QPalette labelPalette = label->palette();
            labelPalette.setColor(QPalette::WindowText,
                                  Appearance::Of(this).Ink(v == score ? QColor(255, 0, 0) : QColor(0, 0, 0)));
            label->setPalette(labelPalette);
            label->setText(QString::number(v));
        },
        "lb");
}

void TFormMigliori::SgMiglioriClick() { ShowScheme(); }

bool TFormMigliori::FormKeyDown(int key)
{
    if (key != Qt::Key_Escape)
        return false;
    BtnEsciClick();
    return true;
}

void TFormMigliori::BtnEsciClick() { close(); }

void TFormMigliori::ReplaySelectedGame()
{
    const int rank = std::max(ui->SgMigliori->currentRow(), 0) + 1;
    const BestRecord& record = table_.ByRank(rank);
    const std::optional<std::vector<int>> cells = StoredGameOrder(record);
    if (!HoldsGame(record) || !cells)
        return;
    ShowGameViewer(GameReplay(*cells), QStringLiteral("Best 20, %1%2: %3, %4")
                                           .arg(rank)
                                           .arg(QChar(0xB0))
                                           .arg(QString::fromStdString(RecordName(record)))
                                           .arg(record.Score),
                   this);
}

void TFormMigliori::CopySelectedGameCode()
{
    const BestRecord& record = table_.ByRank(std::max(ui->SgMigliori->currentRow(), 0) + 1);
    const std::optional<std::vector<int>> cells = StoredGameOrder(record);
    if (HoldsGame(record) && cells)
        CopyBoardCode(*cells);
}

bool TFormMigliori::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (FormKeyDown(key->key()))
        return true;
    // A table moves Home and End along the row; with whole rows selected they go to the first
    // and the last game instead.
    QTableWidget* grid = ui->SgMigliori;
    if (watched == grid && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        ReplaySelectedGame();
        return true;
    }
    if (watched == grid && key->matches(QKeySequence::Copy)) {
        CopySelectedGameCode();
        return true;
    }
    if (watched == grid && key->modifiers() == Qt::NoModifier &&
        (key->key() == Qt::Key_Home || key->key() == Qt::Key_End)) {
        grid->setCurrentCell(key->key() == Qt::Key_Home ? 0 : grid->rowCount() - 1, std::max(grid->currentColumn(), 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormMigliori::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // restored from the task bar: the same showing goes on
    CentreOnScreen(this);
    if (!setUpDone_) {
        setUpDone_ = true;
        FormActivate();
        ui->SgMigliori->setFocus(Qt::OtherFocusReason);
    }
}

void TFormMigliori::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        setUpDone_ = false;
}
