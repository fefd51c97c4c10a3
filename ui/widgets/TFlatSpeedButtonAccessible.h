#pragma once
// What assistive technology learns of a flat button: a push button named by its accessible
// name when one is set (a board cell says where it is and what it holds), else its caption.
// It can be pressed (a left press and release) and, where the press is listened to (the
// cells, which mark with it), right-pressed through the "ShowMenu" action.
#include <QAccessibleWidget>

class TFlatSpeedButton;

class TFlatSpeedButtonAccessible : public QAccessibleWidget {
public:
    explicit TFlatSpeedButtonAccessible(TFlatSpeedButton* button);
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    // Registers the interface for every TFlatSpeedButton: once at start-up, with the application
    // object (a program without it leaves the buttons to the plain widget interface). Safe to
    // call more than once.
    static void Install();

private:
    TFlatSpeedButton* button() const;
};
