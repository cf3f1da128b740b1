// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <span>

namespace narravox {

// The hidden-mode emblem: a circle, a right triangle, a four-sided figure and an eight-sided
// bar, in emblem units. A point (a, b) lies at pixel (x0 + a * unit, y0 + b * unit).
struct EmblemPoint {
    int a;
    int b;
};

// The circle's bounding box, top-left and bottom-right.
inline constexpr std::array<EmblemPoint, 2> kEmblemCircle = {{{3, 0}, {23, 20}}};

// Line runs, each drawn from point to point in order.
inline constexpr std::array<EmblemPoint, 2> kEmblemTriangleTop = {{{2, 21}, {32, 21}}};
inline constexpr std::array<EmblemPoint, 2> kEmblemTriangleSide = {{{2, 21}, {2, 51}}};
inline constexpr std::array<EmblemPoint, 2> kEmblemTriangleSlope = {{{2, 51}, {32, 21}}};
inline constexpr std::array<EmblemPoint, 5> kEmblemQuadrangle = {
    {{1, 64}, {1, 84}, {25, 60}, {25, 40}, {1, 64}}};
inline constexpr std::array<EmblemPoint, 9> kEmblemBar = {
    {{3, 52}, {21, 34}, {23, 34}, {25, 36}, {25, 38}, {7, 56}, {5, 56}, {3, 54}, {3, 52}}};

inline constexpr std::array<std::span<const EmblemPoint>, 5> kEmblemLines = {
    kEmblemTriangleTop, kEmblemTriangleSide, kEmblemTriangleSlope, kEmblemQuadrangle, kEmblemBar};

// Where the emblem stands on a screen of the given size in pixels.
struct EmblemLayout {
    int unit;  // screen height / 90
    int x0;    // screen width / 3 + 40
    int y0;    // 35

    int X(EmblemPoint point) const { return x0 + point.a * unit; }
    int Y(EmblemPoint point) const { return y0 + point.b * unit; }
};

inline EmblemLayout LayOutEmblem(int screen_width, int screen_height) {
    return {screen_height / 90, screen_width / 3 + 40, 35};
}

}  // namespace narravox
