#include "ui/widgets/Look.h"

#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
using Pair = std::pair<QRgb, QRgb>;

// Classic colour -> scheme colour, for what fills. The board's states keep their order of
// lightness within a scheme, and the numbered and marked faces stay dark enough in Dark and
// High contrast for light numbers on them.
constexpr Pair DarkFills[] = {
    {0xFFFFE8A9, 0xFF2B2A33}, // window background
    {0xFFFFFACD, 0xFF3E3D47}, // free cell
    {0xFFFFFFE1, 0xFF3A3943}, // free cell after a new game
    {0xFFFFC969, 0xFF7A4A00}, // numbered cell, board frame
    {0xFF00CC00, 0xFF2F8F3A}, // where the next number may go
    {0xFFFF0000, 0xFFB3261E}, // the mark
    {0xFFFFFFFF, 0xFF1E1D24}, // white behind the board
    {0xFFFFA500, 0xFFC27C0E}, // orange outline, bars
    {0xFFC0C0C0, 0xFF5C5B66}, // the grid
    {0xFF000000, 0xFFECECEC}, // outlines
    {0xFF8E24AA, 0xFFE3A6FF}, // the suggestion's ring
    {0xFF0038E0, 0xFF7FB2FF}, // the keyboard cursor
    {0xFFEBEBEB, 0xFF3A3943}, // chart grid
};
constexpr Pair HighContrastFills[] = {
    {0xFFFFE8A9, 0xFF000000}, {0xFFFFFACD, 0xFF000000}, {0xFFFFFFE1, 0xFF000000}, {0xFFFFC969, 0xFF00307A},
    {0xFF00CC00, 0xFF00E000}, {0xFFFF0000, 0xFFC00000}, {0xFFFFFFFF, 0xFF000000}, {0xFFFFA500, 0xFFFFB000},
    {0xFFC0C0C0, 0xFFFFFFFF}, {0xFF000000, 0xFFFFFFFF}, {0xFF8E24AA, 0xFFFF40FF}, {0xFF0038E0, 0xFF00FFFF},
    {0xFFEBEBEB, 0xFF505050},
};
// Text: dark on light in Classic, light on dark in the others.
// The grey of a daily board's given numbers stays apart from the player's own numbers; the
// help's brown headings, links and keys stay warm.
constexpr Pair DarkInks[] = {{0xFF000000, 0xFFF2F2F2}, {0xFFFF0000, 0xFFFF9A8F}, {0xFFA01010, 0xFFFF9A8F},
                             {0xFF606060, 0xFFE0DAD0}, {0xFFB35C00, 0xFFFFB870}};
constexpr Pair HighContrastInks[] = {{0xFF000000, 0xFFFFFFFF}, {0xFFFF0000, 0xFFFFD000}, {0xFFA01010, 0xFFFFD000},
                                     {0xFF606060, 0xFFC8C8C8}, {0xFFB35C00, 0xFFFFB000}};

template <std::size_t N>
QColor Mapped(const Pair (&table)[N], const QColor& classic, bool* found = nullptr)
{
    const QRgb rgb = classic.rgb();
    const auto it = std::find_if(std::begin(table), std::end(table), [rgb](const Pair& p) { return p.first == rgb; });
    if (found)
        *found = it != std::end(table);
    return it == std::end(table) ? classic : QColor::fromRgb(it->second);
}
} // namespace

int Look::Px(int unzoomed) const
{
    if (unzoomed == 0)
        return 0;
    return std::max(1, static_cast<int>(std::lround(unzoomed * Zoom())));
}

QRect Look::Scaled(const QRect& unzoomed) const
{
    const auto at = [this](int x) { return static_cast<int>(std::lround(x * Zoom())); };
    const int left = at(unzoomed.left());
    const int top = at(unzoomed.top());
    return QRect(left, top, std::max(unzoomed.width() > 0 ? 1 : 0, at(unzoomed.left() + unzoomed.width()) - left),
                 std::max(unzoomed.height() > 0 ? 1 : 0, at(unzoomed.top() + unzoomed.height()) - top));
}

QColor Look::Fill(const QColor& classic) const
{
    switch (colours) {
    case ColourScheme::Classic: return classic;
    case ColourScheme::Dark: return Mapped(DarkFills, classic);
    case ColourScheme::HighContrast: return Mapped(HighContrastFills, classic);
    }
    return classic;
}

QColor Look::Ink(const QColor& classic) const
{
    bool found = false;
    QColor ink;
    switch (colours) {
    case ColourScheme::Classic: return classic;
    case ColourScheme::Dark: ink = Mapped(DarkInks, classic, &found); break;
    case ColourScheme::HighContrast: ink = Mapped(HighContrastInks, classic, &found); break;
    }
    return found ? ink : Fill(classic);
}

void Appearance::Set(const Look& look)
{
    if (look == look_)
        return;
    look_ = look;
    emit Changed();
}

const Look& Appearance::Of(const QWidget* widget)
{
    static const Look classic;
    for (const QWidget* window = widget ? widget->window() : nullptr; window;
         window = window->parentWidget() ? window->parentWidget()->window() : nullptr) {
        if (const auto* appearance = window->findChild<Appearance*>(QString(), Qt::FindDirectChildrenOnly))
            return appearance->look_;
    }
    return classic;
}
