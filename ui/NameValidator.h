#pragma once
// Keeps out of the name box what record.dat cannot hold: a name is stored in Windows-1252, so a
// character outside it would come back as "?". An edit (a key, a paste, a drop, an input
// method) that brings in such a character is refused whole, and the refused characters are
// handed to the box's owner to tell the player.
#include <QValidator>

#include <functional>

class NameValidator : public QValidator {
    Q_OBJECT

public:
    using Refused = std::function<void(const QString& characters)>;

    NameValidator(Refused onRefused, QObject* parent = nullptr);

    State validate(QString& input, int& position) const override;

private:
    Refused onRefused_;
};
