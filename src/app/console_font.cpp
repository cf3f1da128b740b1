// SPDX-License-Identifier: MIT
#include "console_font.h"

#include "layout.h"

namespace narravox::app {
namespace {

constexpr std::array<Glyph, 256> kConsoleFont = {{
#include "font/console_font_glyphs.inc"
}};

}  // namespace

const std::array<Glyph, 256>& ConsoleFont() {
    return kConsoleFont;
}

void DrawCells(QImage& image, int x, int y, std::string_view text, QRgb foreground,
               QRgb background) {
    const int width = image.width();
    const int height = image.height();
    for (int row = 0; row < kCellHeight; ++row) {
        const int py = y + row;
        if (py < 0 || py >= height) {
            continue;
        }
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
        int px = x;
        for (const char byte : text) {
            if (px >= width) {
                break;
            }
            const std::uint8_t bits = kConsoleFont[static_cast<unsigned char>(byte)][row];
            for (int column = 0; column < kCellWidth; ++column, ++px) {
                if (px >= 0 && px < width) {
                    line[px] = (bits & (0x80 >> column)) ? foreground : background;
                }
            }
        }
    }
}

}  // namespace narravox::app
