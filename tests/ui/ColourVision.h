#pragma once
// Colour arithmetic for the tests that look at renders: WCAG contrast, CIEDE2000 and the
// Machado, Oliveira and Fernandes (2009) simulations of dichromacy at full severity.
#include <QColor>

#include <algorithm>
#include <array>
#include <cmath>

namespace vision {

using Matrix = std::array<double, 9>;
inline constexpr Matrix Normal{1, 0, 0, 0, 1, 0, 0, 0, 1};
inline constexpr Matrix Protanopia{0.152286, 1.052583, -0.204868, 0.114503, 0.786281, 0.099216,
                                   -0.003882, -0.048116, 1.051998};
inline constexpr Matrix Deuteranopia{0.367322, 0.860646, -0.227968, 0.280085, 0.672501, 0.047413,
                                     -0.011820, 0.042940, 0.968881};
inline constexpr Matrix Tritanopia{1.255528, -0.076749, -0.178779, -0.078411, 0.930809, 0.147602,
                                   0.004733, 0.691367, 0.303900};

inline double Linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

struct Linear3 {
    double r, g, b;
};

inline Linear3 Simulated(const QColor& colour, const Matrix& m)
{
    const double r = Linear(colour.red()), g = Linear(colour.green()), b = Linear(colour.blue());
    const auto clamp = [](double v) { return std::clamp(v, 0.0, 1.0); };
    return {clamp(m[0] * r + m[1] * g + m[2] * b), clamp(m[3] * r + m[4] * g + m[5] * b),
            clamp(m[6] * r + m[7] * g + m[8] * b)};
}

// WCAG 2 relative luminance and contrast ratio.
inline double Luminance(const QColor& c)
{
    return 0.2126 * Linear(c.red()) + 0.7152 * Linear(c.green()) + 0.0722 * Linear(c.blue());
}
inline double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct Lab {
    double l, a, b;
};

inline Lab ToLab(const Linear3& c)
{
    const double x = (0.4124564 * c.r + 0.3575761 * c.g + 0.1804375 * c.b) / 0.95047;
    const double y = 0.2126729 * c.r + 0.7151522 * c.g + 0.0721750 * c.b;
    const double z = (0.0193339 * c.r + 0.1191920 * c.g + 0.9503041 * c.b) / 1.08883;
    const auto f = [](double t) { return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

inline double Ciede2000(const Lab& p, const Lab& q)
{
    constexpr double Pi = 3.14159265358979323846;
    const auto rad = [](double degrees) { return degrees * Pi / 180; };
    const auto deg = [](double radians) { return radians * 180 / Pi; };
    const double c7 = std::pow((std::hypot(p.a, p.b) + std::hypot(q.a, q.b)) / 2, 7);
    const double g = 0.5 * (1 - std::sqrt(c7 / (c7 + std::pow(25.0, 7))));
    const double a1 = (1 + g) * p.a, a2 = (1 + g) * q.a;
    const double c1 = std::hypot(a1, p.b), c2 = std::hypot(a2, q.b);
    const auto hue = [&](double b, double a) {
        if (a == 0 && b == 0)
            return 0.0;
        const double h = deg(std::atan2(b, a));
        return h < 0 ? h + 360 : h;
    };
    const double h1 = hue(p.b, a1), h2 = hue(q.b, a2);
    const double dl = q.l - p.l, dc = c2 - c1;
    double dh = 0;
    if (c1 * c2 != 0) {
        dh = h2 - h1;
        if (dh > 180)
            dh -= 360;
        else if (dh < -180)
            dh += 360;
    }
    const double dH = 2 * std::sqrt(c1 * c2) * std::sin(rad(dh / 2));
    const double lBar = (p.l + q.l) / 2, cBar = (c1 + c2) / 2;
    double hBar = h1 + h2;
    if (c1 * c2 != 0) {
        if (std::abs(h1 - h2) <= 180)
            hBar = (h1 + h2) / 2;
        else
            hBar = h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
    }
    const double t = 1 - 0.17 * std::cos(rad(hBar - 30)) + 0.24 * std::cos(rad(2 * hBar)) +
                     0.32 * std::cos(rad(3 * hBar + 6)) - 0.20 * std::cos(rad(4 * hBar - 63));
    const double theta = 30 * std::exp(-std::pow((hBar - 275) / 25, 2));
    const double cBar7 = std::pow(cBar, 7);
    const double rc = 2 * std::sqrt(cBar7 / (cBar7 + std::pow(25.0, 7)));
    const double sl = 1 + 0.015 * std::pow(lBar - 50, 2) / std::sqrt(20 + std::pow(lBar - 50, 2));
    const double sc = 1 + 0.045 * cBar, sh = 1 + 0.015 * cBar * t;
    const double rt = -std::sin(rad(2 * theta)) * rc;
    return std::sqrt(std::pow(dl / sl, 2) + std::pow(dc / sc, 2) + std::pow(dH / sh, 2) + rt * (dc / sc) * (dH / sh));
}

} // namespace vision
