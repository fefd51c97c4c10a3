#pragma once
// What assistive technology learns of a flat button: a push button named by its accessible
// name when one is set (a board cell says where it is and what it holds), else its caption.
#include <QAccessibleWidget>

class TFlatSpeedButton;

class TFlatSpeedButtonAccessible : public QAccessibleWidget {
public:
    explicit TFlatSpeedButtonAccessible(TFlatSpeedButton* button);
    QString text(QAccessible::Text t) const override;

    // Registers the interface for every TFlatSpeedButton; safe to call more than once.
    static void Install();
};
