#include "TFlatSpeedButtonAccessible.h"

#include "TFlatSpeedButton.h"

namespace {
QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TFlatSpeedButton") && object && object->isWidgetType())
        return new TFlatSpeedButtonAccessible(static_cast<TFlatSpeedButton*>(object));
    return nullptr;
}
} // namespace

TFlatSpeedButtonAccessible::TFlatSpeedButtonAccessible(TFlatSpeedButton* button)
    : QAccessibleWidget(button, QAccessible::Button)
{
}

QString TFlatSpeedButtonAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name) {
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? static_cast<const TFlatSpeedButton*>(widget())->Caption() : name;
    }
    return QAccessibleWidget::text(t);
}

void TFlatSpeedButtonAccessible::Install()
{
    static const bool installed = (QAccessible::installFactory(Factory), true);
    (void)installed;
}
