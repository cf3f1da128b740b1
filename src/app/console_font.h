// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QRgb>
#include <array>
#include <cstdint>
#include <string_view>

namespace narravox::app {

// One 8x16 glyph: 16 rows from the top, the high bit of each row its leftmost pixel.
using Glyph = std::array<std::uint8_t, 16>;

// The console font, one glyph per code page 1251 byte (see font/README.md for its origin).
const std::array<Glyph, 256>& ConsoleFont();

// Silver on black, like a text-mode console.
inline constexpr QRgb kSilver = qRgb(192, 192, 192);
inline constexpr QRgb kBlack = qRgb(0, 0, 0);

// Draws code page 1251 text into a 32-bit image, one 8x16 cell per byte from `x`, `y` to the
// right, clipped to the image. Every pixel of each cell is written, background included.
void DrawCells(QImage& image, int x, int y, std::string_view text, QRgb foreground,
               QRgb background);

}  // namespace narravox::app
