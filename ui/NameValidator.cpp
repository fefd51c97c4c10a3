#include "NameValidator.h"

#include "records/Cp1252.h"

QString UnstorableCharacters(const QString& text)
{
    QString refused;
    // A lone surrogate reads as U+FFFD here, which the code page lacks too.
    for (const uint codePoint : text.toUcs4()) {
        const auto c = static_cast<char32_t>(codePoint);
        const QString character = QString::fromUcs4(&c, 1);
        if (!tovra::Cp1252CanStore(c) && !refused.contains(character))
            refused += character;
    }
    return refused;
}

QValidator::State NameValidator::validate(QString& input, int&) const
{
    return UnstorableCharacters(input).isEmpty() ? Acceptable : Invalid;
}
