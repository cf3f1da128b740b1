// SPDX-License-Identifier: MIT
// The console font table and the drawing of text cells.
#include <gtest/gtest.h>

#include <algorithm>

#include "console_font.h"
#include "cp1251.h"

namespace narravox::app {
namespace {

bool Blank(const Glyph& glyph) {
    return std::all_of(glyph.begin(), glyph.end(), [](std::uint8_t row) { return row == 0; });
}

TEST(ConsoleFontTest, EveryPrintableCharacterHasAGlyph) {
    const auto& font = ConsoleFont();
    for (int byte = 0x21; byte <= 0xFF; ++byte) {
        const char32_t code_point = Cp1251ToUnicode(static_cast<unsigned char>(byte));
        // Blank by nature: delete, the unassigned byte, no-break space and soft hyphen.
        if (byte == 0x7F || byte == 0x98 || byte == 0xA0 || byte == 0xAD) {
            continue;
        }
        EXPECT_FALSE(Blank(font[static_cast<std::size_t>(byte)]))
            << "byte 0x" << std::hex << byte << " (U+" << static_cast<int>(code_point) << ")";
    }
    EXPECT_TRUE(Blank(font[' ']));
    EXPECT_TRUE(Blank(font['\n']));
}

TEST(ConsoleFontTest, GlyphsFollowTheCharacterNotTheByte) {
    const auto& font = ConsoleFont();
    // Cyrillic А and Latin A look alike; Ж, Х and Ё must not be confused, nor е and ё.
    EXPECT_EQ(font[0xC0], font['A']);
    EXPECT_EQ(font[0xE0], font['a']);
    EXPECT_NE(font[0xC6], font[0xD5]);
    EXPECT_NE(font[0xE5], font[0xB8]);
    EXPECT_NE(font[0xA8], font[0xC5]);
    // "№" (0xB9) is a character of its own in this code page.
    EXPECT_NE(font[0xB9], font['N']);
}

TEST(ConsoleFontTest, DrawCellsWritesWholeCellsAndClips) {
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    DrawCells(image, 4, 2, "AB", kSilver, kBlack);
    const Glyph& a = ConsoleFont()['A'];
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 8; ++column) {
            const bool lit = a[static_cast<std::size_t>(row)] & (0x80 >> column);
            EXPECT_EQ(image.pixel(4 + column, 2 + row), lit ? kSilver : kBlack);
        }
    }
    // The second cell is cut at the image's edge; nothing outside the cells is touched.
    EXPECT_EQ(image.pixel(3, 5), qRgb(1, 2, 3));
    EXPECT_EQ(image.pixel(10, 18), qRgb(1, 2, 3));
    EXPECT_NE(image.pixel(19, 17), qRgb(1, 2, 3));
}

}  // namespace
}  // namespace narravox::app
