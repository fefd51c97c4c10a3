#include "KeptGamesDialog.h"

#include "ClockText.h"
#include "WindowLook.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace tovra;

QStringList KeptGameTexts(const KeptGame& game, const QLocale& locale)
{
    const QDateTime when = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(game.lastPlayedAt));
    return {locale.toString(static_cast<qlonglong>(game.stored.game.cells.size())),
            locale.toString(when, QLocale::ShortFormat),
            ClockText(static_cast<double>(game.stored.game.playedMs) / 86'400'000.0, locale)};
}

namespace {
TFlatSpeedButton* DialogButton(QWidget* parent, const QString& caption, const char* name)
{
    auto* button = new TFlatSpeedButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->SetCaption(caption);
    button->SetButtonStyle(TFlatSpeedButton::ubsWin40);
    button->setMinimumSize(button->sizeHint().expandedTo(QSize(75, 23)));
    button->setAccessibleName(caption);
    return button;
}
} // namespace

KeptGamesDialog::KeptGamesDialog(std::vector<KeptGame> newestFirst, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
    , games_(std::move(newestFirst))
{
    ApplyWindowLook(this);
    setWindowTitle(QStringLiteral("Continue a kept game"));
    auto* text = new QLabel(this);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setText(games_.empty()
                      ? QStringLiteral("No game in progress is kept: every game left for a new one has been finished, "
                                       "continued or given up, and any other is being played in another window.")
                      : QStringLiteral("Games in progress that no window of the game is playing, the most recently "
                                       "played first. The game on the board is kept among them when you continue another."));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("KeptGames"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setHeaderLabels({QStringLiteral("Numbers"), QStringLiteral("Last played"), QStringLiteral("Time played")});
    list_->setAccessibleName(QStringLiteral("Kept games"));
    for (const KeptGame& game : games_) {
        auto* row = new QTreeWidgetItem(list_, KeptGameTexts(game));
        row->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int column = 0; column < list_->columnCount(); ++column)
        list_->resizeColumnToContents(column);
    list_->header()->setStretchLastSection(false);
    list_->setVisible(!games_.empty());
    if (!games_.empty())
        list_->setCurrentItem(list_->topLevelItem(0));
    connect(list_, &QTreeWidget::itemActivated, this, [this] { ContinueSelected(); });

    continue_ = DialogButton(this, QStringLiteral("Continue"), "BtnContinue");
    giveUp_ = DialogButton(this, QStringLiteral("Give up..."), "BtnGiveUp");
    giveUp_->setToolTip(QStringLiteral("Ends the chosen game for good: it goes into the statistics as abandoned"));
    auto* close = DialogButton(this, QStringLiteral("Cancel"), "BtnCancel");
    continue_->setEnabled(!games_.empty());
    giveUp_->setEnabled(!games_.empty());
    connect(continue_, &TFlatSpeedButton::OnClick, this, &KeptGamesDialog::ContinueSelected);
    connect(giveUp_, &TFlatSpeedButton::OnClick, this, &KeptGamesDialog::GiveUpSelected);
    connect(close, &TFlatSpeedButton::OnClick, this, &QDialog::reject);
    // Enter on the list is an activation; Delete gives up, as it removes elsewhere.
    new QShortcut(QKeySequence(Qt::Key_Delete), list_, this, &KeptGamesDialog::GiveUpSelected, Qt::WidgetShortcut);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(giveUp_);
    buttons->addStretch();
    buttons->addWidget(continue_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(text);
    layout->addWidget(list_);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    text->setMinimumWidth(list_->header()->length() + 2 * list_->frameWidth() + 40);
    sizeListToRows();
    list_->setFocus();
}

void KeptGamesDialog::sizeListToRows()
{
    const int rows = std::clamp(static_cast<int>(games_.size()), 3, 8);
    const int rowHeight = std::max(list_->sizeHintForRow(0), list_->fontMetrics().height() + 4);
    list_->setFixedHeight(list_->header()->sizeHint().height() + rows * rowHeight + 2 * list_->frameWidth());
}

void KeptGamesDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange && list_) // not while the constructor sets the look
        sizeListToRows();
}

const KeptGame* KeptGamesDialog::ChosenGame() const
{
    if (chosenRow_ < 0 || chosenRow_ >= static_cast<int>(games_.size()))
        return nullptr;
    return &games_[static_cast<std::size_t>(chosenRow_)];
}

void KeptGamesDialog::ContinueSelected() { choose(Choice::Continue); }
void KeptGamesDialog::GiveUpSelected() { choose(Choice::GiveUp); }

void KeptGamesDialog::choose(Choice choice)
{
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0)
        return;
    choice_ = choice;
    chosenRow_ = row;
    accept();
}
