#pragma once
// Twips (1/1440 inch) to pixels at the screen's logical resolution, the unit
// the window's layout is written in.
#include <QRect>
#include <QtMath>

namespace veltrop::gui {

struct Twips {
    double dpiX = 96, dpiY = 96;

    int x(int twips) const { return qRound(twips * dpiX / 1440.0); }
    int y(int twips) const { return qRound(twips * dpiY / 1440.0); }
    QRect rect(int left, int top, int width, int height) const
    {
        return {x(left), y(top), x(width), y(height)};
    }
};

} // namespace veltrop::gui
