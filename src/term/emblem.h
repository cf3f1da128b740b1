// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

namespace narravox::term {

// The hidden-mode emblem laid out on a terminal of `rows` by `columns` cells, in braille: each
// cell holds 2 by 4 dots, and a terminal cell is about twice as high as wide, so the dots are
// close to square and circles stay round. Cells without a dot are left to the text beneath,
// the way the window draws only outlines over its text.
struct EmblemPicture {
    int rows = 0;
    int columns = 0;
    // One braille dot pattern per cell, row by row; 0 where the emblem does not touch.
    std::vector<std::uint8_t> cells;

    std::uint8_t At(int row, int column) const {
        return cells[static_cast<std::size_t>(row * columns + column)];
    }
    bool Empty() const;
};

// The emblem for a screen whose top row is the title and whose bottom row is the command line;
// it is scaled to the rows between them and kept inside them, its left edge a little right of
// the first third of the width as on the window, moved left only when the screen is too narrow.
EmblemPicture RasterizeEmblem(int rows, int columns);

// The braille character for a cell's dot pattern.
inline char32_t BrailleCharacter(std::uint8_t dots) {
    return U'\u2800' + dots;
}

}  // namespace narravox::term
