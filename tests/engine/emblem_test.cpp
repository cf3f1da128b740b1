// SPDX-License-Identifier: MIT
#include "console/emblem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace narravox {
namespace {

TEST(Emblem, LaysOutOnA1024By768Screen) {
    const EmblemLayout layout = LayOutEmblem(1024, 768);
    EXPECT_EQ(layout.X(kEmblemCircle[0]), 405);
    EXPECT_EQ(layout.Y(kEmblemCircle[0]), 35);
    EXPECT_EQ(layout.X(kEmblemCircle[1]), 565);
    EXPECT_EQ(layout.Y(kEmblemCircle[1]), 195);
    EXPECT_EQ(layout.X(kEmblemTriangleSlope[0]), 397);
    EXPECT_EQ(layout.Y(kEmblemTriangleSlope[0]), 443);
    EXPECT_EQ(layout.X(kEmblemQuadrangle[2]), 581);
    EXPECT_EQ(layout.Y(kEmblemQuadrangle[2]), 515);
    EXPECT_EQ(layout.X(kEmblemBar[5]), 437);
    EXPECT_EQ(layout.Y(kEmblemBar[5]), 483);
}

TEST(Emblem, SpansTheExpectedPixelsOnA1280By1024Screen) {
    const EmblemLayout layout = LayOutEmblem(1280, 1024);
    int left = layout.X(kEmblemCircle[0]), right = layout.X(kEmblemCircle[1]);
    int top = layout.Y(kEmblemCircle[0]), bottom = layout.Y(kEmblemCircle[1]);
    for (const auto& run : kEmblemLines) {
        for (const EmblemPoint& point : run) {
            left = std::min(left, layout.X(point));
            right = std::max(right, layout.X(point));
            top = std::min(top, layout.Y(point));
            bottom = std::max(bottom, layout.Y(point));
        }
    }
    EXPECT_EQ(left, 477);
    EXPECT_EQ(right, 818);
    EXPECT_EQ(top, 35);
    EXPECT_EQ(bottom, 959);
}

}  // namespace
}  // namespace narravox
