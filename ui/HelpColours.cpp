#include "HelpColours.h"

#include "ui/widgets/Look.h"

#include <QColor>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {
// WCAG's relative luminance and contrast ratio.
double Luminance(const QColor& colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// One rule's declarations (or one inline style), its colours in the scheme.
QString InColours(QString declarations, const Look& look)
{
    static const QRegularExpression background(QStringLiteral("background-color:\\s*(#[0-9A-Fa-f]{6})"));
    static const QRegularExpression ink(QStringLiteral("(^|[^-\\w])color:\\s*(#[0-9A-Fa-f]{6})"));
    const QRegularExpressionMatch backgroundMatch = background.match(declarations);
    const QRegularExpressionMatch inkMatch = ink.match(declarations);
    std::optional<QColor> face;
    if (backgroundMatch.hasMatch())
        face = look.Fill(QColor(backgroundMatch.captured(1)));
    if (inkMatch.hasMatch()) {
        QColor text = look.Ink(QColor(inkMatch.captured(2)));
        if (face && Contrast(text, *face) < 4.5)
            text = Contrast(Qt::black, *face) >= Contrast(Qt::white, *face) ? QColor(Qt::black) : QColor(Qt::white);
        declarations.replace(inkMatch.capturedStart(2), inkMatch.capturedLength(2), text.name());
    }
    // The background after the ink: both keep their places, whichever comes first.
    if (face) {
        const QRegularExpressionMatch again = background.match(declarations);
        declarations.replace(again.capturedStart(1), again.capturedLength(1), face->name());
    }
    return declarations;
}
} // namespace

QString HelpInColours(const QString& html, const Look& look)
{
    if (look.colours == ColourScheme::Classic)
        return html;
    // The style sheet's rules and the inline styles.
    static const QRegularExpression rules(QStringLiteral("(\\{)([^{}]*)(\\})|(style=\")([^\"]*)(\")"));
    QString result;
    qsizetype done = 0;
    for (auto it = rules.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int group = match.hasCaptured(2) ? 2 : 5;
        result += html.mid(done, match.capturedStart(group) - done);
        result += InColours(match.captured(group), look);
        done = match.capturedEnd(group);
    }
    return result + html.mid(done);
}
