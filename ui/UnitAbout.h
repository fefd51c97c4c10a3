#pragma once
// The About window: name, version, maker, the home-page and e-mail links and the disclaimer.
// Made anew for each showing, shown modally and destroyed when closed.
#include <QByteArrayView>
#include <QDialog>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class TFormAbout;
}
class QLabel;
class TFlatSpeedButton;

// The maker's addresses, fixed when the program is built.
QString HomePageAddress();
QString EmailAddress();

// The disclaimer text shown at the bottom of the About window.
QString AboutDisclaimer();

// The picture held in jpeg as an RGB image, or a null image when the data is not a complete,
// undamaged JPEG. Decoded by libjpeg.
QImage DecodeAboutLogo(QByteArrayView jpeg);

class TFormAbout : public QDialog {
    Q_OBJECT

public:
    // How a link is handed to the desktop: file or address, parameters, working folder, show
    // command. The window never looks at the outcome.
    using ShellFunction = std::function<void(const std::string& file, const std::string& parameters,
                                             const std::string& folder, int showCommand)>;

    explicit TFormAbout(QWidget* parent = nullptr);
    // shell receives every link instead of the desktop (ShellRun).
    explicit TFormAbout(ShellFunction shell, QWidget* parent = nullptr);
    ~TFormAbout() override;

    void FormCreate();
    // Key preview: sees every key press, whichever control holds the focus. Escape closes.
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    void BtnChiudiClick();
    void LabelHomePage1Click();
    // Also the click on the logo.
    void LabelHomepage2Click();
    void LabelEmailClick();

    // Shows the JPEG in jpeg as the logo, scaled to fill its 34 x 34 frame at the screen's pixel
    // density; data that does not decode leaves the logo empty.
    void LoadLogo(QByteArrayView jpeg);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void connectHandlers();
    void sizeLabelsToText();
    void showLogo();
    using ClickHandler = void (TFormAbout::*)();
    ClickHandler clickHandlerFor(const QObject* watched) const;

    std::unique_ptr<Ui::TFormAbout> ui;
    ShellFunction shell_;
    QImage logo_;
    qreal logoRatio_ = 0;
    const QObject* pressedOn_ = nullptr; // the link a left press went to, until its release
    bool screenWatched_ = false;
};
