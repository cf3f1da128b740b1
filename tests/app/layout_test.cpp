// SPDX-License-Identifier: MIT
// The window's arithmetic: where the controls stand on a screen, and where the emblem's lines
// really land in pixels when the overlay draws it.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include "console_font.h"
#include "emblem_overlay.h"
#include "layout.h"

namespace narravox::app {
namespace {

TEST(LayoutTest, FullScreenAt1024x768) {
    const WindowLayout layout = FullScreenLayout(1024, 768);
    EXPECT_EQ(layout.Window, (Bounds{0, 0, 1024, 768}));
    EXPECT_EQ(layout.Title, (Bounds{0, 0, 1024, 16}));
    EXPECT_EQ(layout.TextWindow, (Bounds{0, 16, 1024, 728}));
    EXPECT_EQ(layout.Label1, (Bounds{0, 744, 8, 16}));
    EXPECT_EQ(layout.Edit, (Bounds{8, 744, 1016, 24}));
    EXPECT_EQ(layout.VisibleLines, 45);
    EXPECT_EQ(layout.LineWidth, 128);
    EXPECT_EQ(layout.EditMaxLength, 127);
    // 728 = 45 * 16 + 8: the last eight rows of the text window hold no line.
    EXPECT_EQ(layout.TextWindow.top + layout.VisibleLines * kCellHeight, 736);
}

TEST(LayoutTest, FullScreenAt800x600) {
    const WindowLayout layout = FullScreenLayout(800, 600);
    EXPECT_EQ(layout.TextWindow, (Bounds{0, 16, 800, 560}));
    EXPECT_EQ(layout.Label1, (Bounds{0, 576, 8, 16}));
    EXPECT_EQ(layout.Edit, (Bounds{8, 576, 792, 24}));
    EXPECT_EQ(layout.VisibleLines, 35);
    EXPECT_EQ(layout.LineWidth, 100);
    EXPECT_EQ(layout.EditMaxLength, 99);
}

TEST(LayoutTest, DesignSizeIsCentredAndHasNoText) {
    const WindowLayout layout = DesignLayout(1024, 768);
    EXPECT_EQ(layout.Window, (Bounds{355, 342, 314, 83}));
    EXPECT_EQ(layout.Title, (Bounds{0, 0, 48, 16}));
    EXPECT_EQ(layout.Edit, (Bounds{8, 56, 297, 24}));
    EXPECT_EQ(layout.VisibleLines, 0);
    EXPECT_EQ(layout.LineWidth, 0);
    EXPECT_EQ(layout.EditMaxLength, 0);
}

// Draws the emblem for a screen onto a black window of that size and returns the picture.
QImage DrawEmblemOn(int width, int height, QRect uncovered = {}) {
    QWidget window;
    window.resize(width, height);
    EmblemOverlay overlay(&window);
    overlay.showEmblem(LayOutEmblem(width, height), uncovered);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kBlack);
    overlay.render(&image);
    return image;
}

bool Silver(const QImage& image, int x, int y) {
    return image.pixel(x, y) == kSilver;
}

TEST(EmblemDrawingTest, CornersAt1024x768) {
    const QImage image = DrawEmblemOn(1024, 768);
    // Triangle, four-sided figure and bar corners.
    for (const QPoint corner :
         {QPoint(397, 203), QPoint(637, 203), QPoint(397, 443), QPoint(389, 547), QPoint(389, 707),
          QPoint(581, 515), QPoint(581, 355), QPoint(405, 451), QPoint(549, 307), QPoint(565, 307),
          QPoint(437, 483), QPoint(421, 483), QPoint(405, 467)}) {
        EXPECT_TRUE(Silver(image, corner.x(), corner.y())) << corner.x() << "," << corner.y();
    }
    // The circle in the box (405, 35)-(565, 195): top, left, the middle of its bottom, and
    // nothing at its centre or at the box's corner.
    EXPECT_TRUE(Silver(image, 485, 35));
    EXPECT_TRUE(Silver(image, 405, 115));
    EXPECT_TRUE(Silver(image, 485, 195) || Silver(image, 485, 194));
    EXPECT_FALSE(Silver(image, 485, 115));
    EXPECT_FALSE(Silver(image, 405, 35));
}

// The bounding box of everything drawn.
QRect DrawnArea(const QImage& image) {
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Silver(image, x, y)) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

TEST(EmblemDrawingTest, SpanFollowsTheScreen) {
    // At 800x600 the circle's box starts at (324, 35) and the lowest point is (312, 539).
    const QRect small = DrawnArea(DrawEmblemOn(800, 600));
    EXPECT_EQ(small.top(), 35);
    EXPECT_EQ(small.bottom(), 539);
    EXPECT_EQ(small.left(), 312);
    // At 1280x1024 the emblem spans columns 477 to 818 and rows 35 to 959.
    const QRect large = DrawnArea(DrawEmblemOn(1280, 1024));
    EXPECT_EQ(large, QRect(QPoint(477, 35), QPoint(818, 959)));
}

TEST(EmblemDrawingTest, LeavesTheCommandLineAlone) {
    // On a very flat screen the emblem reaches down into the command line, which it must not
    // cover.
    const QRect edit(8, 256, 1016, 24);
    const QImage image = DrawEmblemOn(1024, 280, edit);
    EXPECT_FALSE(DrawnArea(image).isEmpty());
    EXPECT_FALSE(DrawnArea(image.copy(edit)).isValid());
}

}  // namespace
}  // namespace narravox::app
