// SPDX-License-Identifier: MIT
#include "emblem.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "console/emblem.h"

namespace narravox::term {
namespace {

constexpr double kEmblemHeight = 84;
constexpr double kEmblemRight = 32;

// Dots in a cell and the bit of each: column 0 holds dots 1, 2, 3, 7; column 1 holds 4, 5, 6, 8.
constexpr int kDotColumns = 2;
constexpr int kDotRows = 4;
constexpr std::uint8_t kDotBits[kDotRows][kDotColumns] = {
    {0x01, 0x08}, {0x02, 0x10}, {0x04, 0x20}, {0x40, 0x80}};

class DotCanvas {
  public:
    DotCanvas(EmblemPicture& picture, double unit, double left, double top)
        : picture_(picture), unit_(unit), left_(left), top_(top) {}

    void Line(EmblemPoint from, EmblemPoint to) {
        const double x0 = X(from.a), y0 = Y(from.b), x1 = X(to.a), y1 = Y(to.b);
        const int steps =
            static_cast<int>(std::ceil(std::max(std::abs(x1 - x0), std::abs(y1 - y0)))) * 2 + 1;
        for (int i = 0; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            Dot(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t);
        }
    }

    void Polyline(std::span<const EmblemPoint> corners) {
        for (std::size_t i = 0; i + 1 < corners.size(); ++i) {
            Line(corners[i], corners[i + 1]);
        }
    }

    // The ellipse inside a bounding box, as the window's ellipse primitive draws it.
    void Ellipse(EmblemPoint top_left, EmblemPoint bottom_right) {
        const double cx = (X(top_left.a) + X(bottom_right.a)) / 2;
        const double cy = (Y(top_left.b) + Y(bottom_right.b)) / 2;
        const double rx = (X(bottom_right.a) - X(top_left.a)) / 2;
        const double ry = (Y(bottom_right.b) - Y(top_left.b)) / 2;
        const int steps = std::max(16, static_cast<int>(std::ceil(8 * std::max(rx, ry))));
        for (int i = 0; i < steps; ++i) {
            const double angle = 2 * std::numbers::pi * i / steps;
            Dot(cx + rx * std::cos(angle), cy + ry * std::sin(angle));
        }
    }

  private:
    double X(int a) const { return left_ + a * unit_; }
    double Y(int b) const { return top_ + b * unit_; }

    // Dots outside the text window are dropped: the emblem never covers the title or the
    // command line.
    void Dot(double x, double y) {
        const int dx = static_cast<int>(std::lround(x));
        const int dy = static_cast<int>(std::lround(y));
        const int row = dy / kDotRows;
        const int column = dx / kDotColumns;
        if (dx < 0 || dy < 0 || row < 1 || row > picture_.rows - 2 || column >= picture_.columns) {
            return;
        }
        picture_.cells[static_cast<std::size_t>(row * picture_.columns + column)] |=
            kDotBits[dy % kDotRows][dx % kDotColumns];
    }

    EmblemPicture& picture_;
    double unit_;
    double left_;
    double top_;
};

}  // namespace

bool EmblemPicture::Empty() const {
    return std::all_of(cells.begin(), cells.end(), [](std::uint8_t dots) { return dots == 0; });
}

EmblemPicture RasterizeEmblem(int rows, int columns) {
    EmblemPicture picture;
    picture.rows = std::max(rows, 0);
    picture.columns = std::max(columns, 0);
    picture.cells.assign(static_cast<std::size_t>(picture.rows * picture.columns), 0);
    if (picture.rows < 3 || picture.columns < 1) {
        return picture;
    }
    // Half a row of dots stays free above and below, as the window leaves a gap under its title.
    const double margin = kDotRows / 2.0;
    const double text_top = kDotRows;
    const double text_height = kDotRows * (picture.rows - 2.0);
    const double unit = std::max(0.0, (text_height - 2 * margin - 1) / kEmblemHeight);
    // The window puts the left edge 40 pixels right of a third of the width; one cell there is
    // 8 pixels, so that is five cells, or ten dots.
    const double width_in_dots = kDotColumns * picture.columns;
    double left = width_in_dots / 3 + 10;
    left = std::max(0.0, std::min(left, width_in_dots - 1 - kEmblemRight * unit));

    DotCanvas canvas(picture, unit, left, text_top + margin);
    canvas.Ellipse(kEmblemCircle[0], kEmblemCircle[1]);
    for (const auto& run : kEmblemLines) {
        canvas.Polyline(run);
    }
    return picture;
}

}  // namespace narravox::term
