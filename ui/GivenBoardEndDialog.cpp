#include "GivenBoardEndDialog.h"

#include "WindowLook.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

GivenBoardEndDialog::GivenBoardEndDialog(const QString& title, const QString& text, const QString& result,
                                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    ApplyWindowLook(this);
    setWindowTitle(title);
    text_ = new QLabel(text, this);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setMinimumWidth(320);

    copy_ = new TFlatSpeedButton(this);
    copy_->SetCaption(QStringLiteral("Copy result"));
    copy_->SetButtonStyle(TFlatSpeedButton::ubsWin40);
    copy_->setMinimumSize(copy_->sizeHint().expandedTo(QSize(0, 23)));
    copy_->SetShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    copy_->setAccessibleName(copy_->Caption());
    copy_->setToolTip(QStringLiteral("Puts a result to share on the clipboard: no cell of the board is in it"));
    connect(copy_, &TFlatSpeedButton::OnClick, this, [this, result] {
        QApplication::clipboard()->setText(result);
        copy_->SetCaption(QStringLiteral("Copied"));
    });

    auto* ok = new TFlatSpeedButton(this);
    ok->SetCaption(QStringLiteral("OK"));
    ok->SetButtonStyle(TFlatSpeedButton::ubsWin40);
    ok->setMinimumSize(ok->sizeHint().expandedTo(QSize(75, 23)));
    ok->SetShortcut(QKeySequence(Qt::Key_Return));
    ok->setAccessibleName(ok->Caption());
    connect(ok, &TFlatSpeedButton::OnClick, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy_);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(text_);
    layout->addSpacing(10);
    layout->addLayout(buttons);
}
