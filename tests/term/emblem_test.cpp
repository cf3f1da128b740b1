// SPDX-License-Identifier: MIT
// The emblem's layout on terminals of various sizes, looked at dot by dot.
#include "emblem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace narravox::term {
namespace {

constexpr std::uint8_t kDotBits[4][2] = {{0x01, 0x08}, {0x02, 0x10}, {0x04, 0x20}, {0x40, 0x80}};

// The picture as a grid of dots, 2 per cell across and 4 down.
struct DotGrid {
    int width = 0;
    int height = 0;
    std::vector<bool> dots;

    explicit DotGrid(const EmblemPicture& picture)
        : width(picture.columns * 2),
          height(picture.rows * 4),
          dots(static_cast<std::size_t>(width * height)) {
        for (int row = 0; row < picture.rows; ++row) {
            for (int column = 0; column < picture.columns; ++column) {
                for (int y = 0; y < 4; ++y) {
                    for (int x = 0; x < 2; ++x) {
                        if (picture.At(row, column) & kDotBits[y][x]) {
                            dots[static_cast<std::size_t>((row * 4 + y) * width + column * 2 + x)] =
                                true;
                        }
                    }
                }
            }
        }
    }
    bool At(int x, int y) const { return dots[static_cast<std::size_t>(y * width + x)]; }

    // The longest straight run of dots, down one column or along one row.
    int LongestRun(bool vertical) const {
        int longest = 0;
        const int lines = vertical ? width : height;
        const int length = vertical ? height : width;
        for (int line = 0; line < lines; ++line) {
            int run = 0;
            for (int i = 0; i < length; ++i) {
                run = (vertical ? At(line, i) : At(i, line)) ? run + 1 : 0;
                longest = std::max(longest, run);
            }
        }
        return longest;
    }
};

struct Bounds {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Bounds DotBounds(const DotGrid& grid) {
    Bounds bounds;
    for (int y = 0; y < grid.height; ++y) {
        for (int x = 0; x < grid.width; ++x) {
            if (grid.At(x, y)) {
                bounds.left = std::min(bounds.left, x);
                bounds.right = std::max(bounds.right, x);
                bounds.top = std::min(bounds.top, y);
                bounds.bottom = std::max(bounds.bottom, y);
            }
        }
    }
    return bounds;
}

TEST(TermEmblem, StaysBetweenTheTitleAndTheCommandLine) {
    const std::pair<int, int> sizes[] = {{24, 80},  {3, 10},   {4, 4},  {10, 30},
                                         {60, 200}, {100, 40}, {25, 1}, {200, 300}};
    for (const auto& [rows, columns] : sizes) {
        const EmblemPicture picture = RasterizeEmblem(rows, columns);
        ASSERT_EQ(picture.cells.size(), static_cast<std::size_t>(rows * columns));
        EXPECT_FALSE(picture.Empty()) << rows << "x" << columns;
        for (int column = 0; column < columns; ++column) {
            EXPECT_EQ(picture.At(0, column), 0) << rows << "x" << columns;
            EXPECT_EQ(picture.At(rows - 1, column), 0) << rows << "x" << columns;
        }
    }
    EXPECT_TRUE(RasterizeEmblem(2, 80).Empty());
    EXPECT_TRUE(RasterizeEmblem(0, 0).cells.empty());
}

TEST(TermEmblem, KeepsItsProportionsAndFillsTheTextWindowsHeight) {
    for (const auto& [rows, columns] : {std::pair{24, 80}, std::pair{60, 200}, std::pair{45, 40}}) {
        const DotGrid grid(RasterizeEmblem(rows, columns));
        const Bounds bounds = DotBounds(grid);
        const double height = bounds.bottom - bounds.top;
        const double width = bounds.right - bounds.left;
        const double text_height = 4.0 * (rows - 2);
        EXPECT_GT(height, 0.9 * text_height) << rows << "x" << columns;
        // 31 units across for 84 down, as on the window.
        EXPECT_NEAR(width / height, 31.0 / 84.0, 0.03) << rows << "x" << columns;
        // The triangle's legs are the longest straight lines: 30 units each.
        const double unit = height / 84.0;
        EXPECT_NEAR(grid.LongestRun(true), 30 * unit, 2.5) << rows << "x" << columns;
        EXPECT_NEAR(grid.LongestRun(false), 30 * unit, 2.5) << rows << "x" << columns;
    }
}

TEST(TermEmblem, StandsRightOfTheFirstThirdUnlessTheScreenIsNarrow) {
    const EmblemPicture wide = RasterizeEmblem(24, 120);
    const Bounds bounds = DotBounds(DotGrid(wide));
    EXPECT_GE(bounds.left / 2, 120 / 3 + 5);
    EXPECT_LE(bounds.left / 2, 120 / 3 + 7);

    // On a tall, narrow screen the emblem moves left to stay whole.
    const EmblemPicture narrow = RasterizeEmblem(60, 40);
    const Bounds narrow_bounds = DotBounds(DotGrid(narrow));
    EXPECT_LE(narrow_bounds.right, 2 * 40 - 1);
    EXPECT_LT(narrow_bounds.left / 2, 40 / 3 + 5);
}

}  // namespace
}  // namespace narravox::term
