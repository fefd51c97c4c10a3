#pragma once
// The desktop's style, with one change: the underlined letters of the menus and buttons (their
// access keys, reached with Alt) show only while Alt is held, so the texts read as written.
#include <QProxyStyle>

class AccessKeyStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Wraps the application's current style; watches the keys of the whole application.
    AccessKeyStyle();

    bool AltHeld() const { return altHeld_; }

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setAltHeld(bool held);

    bool altHeld_ = false;
};
