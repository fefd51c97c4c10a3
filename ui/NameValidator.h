#pragma once
// Keeps out of the name box what record.dat cannot hold: a name is stored in Windows-1252, so a
// character outside it would come back as "?". An edit (a key, a paste, a drop, an input
// method) that brings in such a character is refused whole; the box's owner tells the player.
#include <QValidator>

class NameValidator : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override;
};

// The characters of `text` that a name cannot store, each once, in the order they come.
QString UnstorableCharacters(const QString& text);
