#include "UnitAbout.h"

#include "ApplicationTitle.h"
#include "WindowLook.h"
#include "core/Colors.h"
#include "ui/widgets/TFlatSpeedButton.h"
#include "ui/widgets/TShape.h"
#include "ui_TFormAbout.h"
#include "util/JpegImage.h"
#include "util/Utils1.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <cstring>
#include <span>

namespace {

const QString IconPath = QStringLiteral(":/about/icon32.bmp");
const QString LogoPath = QStringLiteral(":/about/logo.jpg");

// The show command the links pass: show the started program's window in its current size and
// position (home page), or normally (e-mail).
constexpr int ShowInPlace = 5;
constexpr int ShowNormal = 1;
constexpr char HomePageFolder[] = "C:\\";

std::string ToShellText(const QString& text) { return text.toUtf8().toStdString(); }

} // namespace

QString HomePageAddress() { return QStringLiteral(TOVRA_HOMEPAGE_URL); }
QString EmailAddress() { return QStringLiteral(TOVRA_EMAIL); }

QString AboutDisclaimer()
{
    // Three lines, each ended by a break; the first two keep a space before it.
    return QStringLiteral(
        "This program is freeware and is provided \"as is\",  without warranty of any kind. \n"
        "The author accepts no liability for any loss or damage, \"direct or indirect\", arising "
        "from its use. \n"
        "Use it at your own risk.\n");
}

QImage DecodeAboutLogo(QByteArrayView jpeg)
{
    const std::span<const unsigned char> bytes(reinterpret_cast<const unsigned char*>(jpeg.data()),
                                               static_cast<std::size_t>(jpeg.size()));
    const std::optional<tovra::RgbImage> picture = tovra::DecodeJpeg(bytes);
    if (!picture || picture->width <= 0 || picture->height <= 0)
        return {};
    const std::size_t rowBytes = static_cast<std::size_t>(picture->width) * 3;
    if (picture->rgb.size() != rowBytes * static_cast<std::size_t>(picture->height))
        return {};
    QImage image(picture->width, picture->height, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    // QImage pads its rows to 4 bytes; the decoded rows are packed.
    for (int y = 0; y < picture->height; ++y)
        std::memcpy(image.scanLine(y), picture->rgb.data() + rowBytes * static_cast<std::size_t>(y), rowBytes);
    return image;
}

TFormAbout::TFormAbout(QWidget* parent)
    : TFormAbout(tovra::ShellRun, parent)
{
}

TFormAbout::TFormAbout(ShellFunction shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TFormAbout>())
    , shell_(std::move(shell))
{
    ui->setupUi(this);
    setFixedSize(282, 242);

    ApplyWindowLook(this);

    QPalette white = ui->Label2->palette();
    white.setColor(QPalette::Window, Appearance::Of(this).Fill(Qt::white));
    ui->Label2->setPalette(white);
    ui->Label2->setText(AboutDisclaimer());

    ui->BtnChiudi->SetCaption(QStringLiteral("Ok"));
    ui->Image1->setPixmap(QPixmap(IconPath));
    QFile logo(LogoPath);
    LoadLogo(logo.open(QIODevice::ReadOnly) ? logo.readAll() : QByteArray());

    connectHandlers();
    FormCreate();
}

TFormAbout::~TFormAbout() = default;

void TFormAbout::connectHandlers()
{
    connect(ui->BtnChiudi, &TFlatSpeedButton::OnClick, this, [this] { BtnChiudiClick(); });
    // Key preview: the window sees a key before whichever control has the focus.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void TFormAbout::sizeLabelsToText()
{
    for (QLabel* label : {ui->LabelEmail, ui->LabelHomepage2, ui->LabelVersioneProgramma, ui->LabelQuelm,
                          ui->LabelNomeProgramma, ui->Label3, ui->LabelHomePage1})
        label->adjustSize();
}

void TFormAbout::FormCreate()
{
    const QByteArray executable = QFile::encodeName(QCoreApplication::applicationFilePath());
    const QString version = QString::fromStdString(tovra::FileVersionString(executable.toStdString()));
    ui->LabelVersioneProgramma->setText(QStringLiteral("Version ") + version + QStringLiteral(" - 2007"));
    sizeLabelsToText();
}

void TFormAbout::FormKeyDown(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape)
        BtnChiudiClick();
}

void TFormAbout::BtnChiudiClick() { close(); }

void TFormAbout::LabelHomePage1Click()
{
    shell_(ToShellText(HomePageAddress()), std::string(), HomePageFolder, ShowInPlace);
}

void TFormAbout::LabelHomepage2Click()
{
    shell_(ToShellText(HomePageAddress()), std::string(), HomePageFolder, ShowInPlace);
}

void TFormAbout::LabelEmailClick()
{
    // Handed over as it is: the mail program reads the spaces of the subject unencoded.
    const QString address = QStringLiteral("mailto:") + EmailAddress() + QStringLiteral("?subject=Email inviata da ") +
                            ApplicationTitle() + QStringLiteral("&Body=");
    shell_(ToShellText(address), std::string(), std::string(), ShowNormal);
}

void TFormAbout::LoadLogo(QByteArrayView jpeg)
{
    logo_ = DecodeAboutLogo(jpeg);
    showLogo();
}

void TFormAbout::showLogo()
{
    // Scaled to the device pixels the frame covers, so the logo stays sharp on dense screens.
    logoRatio_ = devicePixelRatioF();
    if (logo_.isNull()) {
        ui->Image2->clear();
        return;
    }
    const QSize pixels = ui->Image2->size() * logoRatio_;
    QPixmap pixmap = QPixmap::fromImage(logo_.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(logoRatio_);
    ui->Image2->setPixmap(pixmap);
}

TFormAbout::ClickHandler TFormAbout::clickHandlerFor(const QObject* watched) const
{
    if (watched == ui->LabelHomePage1)
        return &TFormAbout::LabelHomePage1Click;
    if (watched == ui->LabelHomepage2 || watched == ui->Image2)
        return &TFormAbout::LabelHomepage2Click;
    if (watched == ui->LabelEmail)
        return &TFormAbout::LabelEmailClick;
    return nullptr;
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        FormKeyDown(key->key(), key->modifiers());
        // Escape has closed the window; no control sees it again.
        return key->key() == Qt::Key_Escape;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && clickHandlerFor(watched))
            pressedOn_ = watched;
        break;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || pressedOn_ != watched)
            break;
        pressedOn_ = nullptr;
        // A link is clicked when the left button goes up over the link it went down on.
        const auto* widget = static_cast<const QWidget*>(watched);
        if (widget->rect().contains(mouse->position().toPoint()))
            if (const ClickHandler handler = clickHandlerFor(watched))
                (this->*handler)();
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) // restored from the task bar: it stays where the player put it
        CentreOnScreen(this);
    if (!qFuzzyCompare(logoRatio_, devicePixelRatioF()))
        showLogo();
    if (!screenWatched_ && windowHandle()) {
        screenWatched_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] {
            if (!qFuzzyCompare(logoRatio_, devicePixelRatioF()))
                showLogo();
        });
    }
}
