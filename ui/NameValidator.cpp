#include "NameValidator.h"

#include "records/Cp1252.h"

NameValidator::NameValidator(Refused onRefused, QObject* parent)
    : QValidator(parent)
    , onRefused_(std::move(onRefused))
{
}

QValidator::State NameValidator::validate(QString& input, int&) const
{
    QString refused;
    // A lone surrogate reads as U+FFFD here, which the code page lacks too.
    for (const uint codePoint : input.toUcs4()) {
        const auto c = static_cast<char32_t>(codePoint);
        const QString character = QString::fromUcs4(&c, 1);
        if (!tovra::Cp1252CanStore(c) && !refused.contains(character))
            refused += character;
    }
    if (refused.isEmpty())
        return Acceptable;
    if (onRefused_)
        onRefused_(refused);
    return Invalid;
}
