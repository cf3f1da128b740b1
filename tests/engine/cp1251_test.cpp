// SPDX-License-Identifier: MIT
// Conversion between code page 1251, UTF-8 and UTF-32.
#include <gtest/gtest.h>

#include "cp1251.h"

namespace narravox {
namespace {

TEST(Cp1251Test, EveryAssignedByteRoundTripsThroughEveryForm) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != 0x98) {
            all += static_cast<char>(byte);
        }
    }
    const std::u32string wide = Cp1251ToUtf32(all);
    ASSERT_EQ(wide.size(), all.size());
    EXPECT_EQ(Utf32ToCp1251Lossy(wide), all);
    const std::string utf8 = Cp1251ToUtf8(all);
    EXPECT_TRUE(IsUtf8(utf8));
    EXPECT_EQ(Utf32ToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToUtf32(utf8), wide);
    EXPECT_EQ(Utf8ToCp1251(utf8), all);
}

TEST(Cp1251Test, KnownCharactersTakeTheirPlaces) {
    EXPECT_EQ(Cp1251ToUtf32("\xC0\xFF\xA8\xB8\xB9\x88"), U"АяЁё№€");
    EXPECT_EQ(Cp1251ToUnicode(0x98), U'\uFFFD');
    EXPECT_EQ(Utf32ToUtf8(U"a\u0436\u20AC\U0001F600"), "a\xD0\xB6\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(Cp1251Test, WhatTheCodePageLacksIsDropped) {
    EXPECT_EQ(Utf32ToCp1251Lossy(U"a\u0101\u4E2D\uFFFDb"), "ab");
    std::size_t dropped = 0;
    EXPECT_EQ(Utf8ToCp1251Lossy("a\u0101b", &dropped), "ab");
    EXPECT_EQ(dropped, 1u);
    EXPECT_EQ(Utf8ToCp1251("a\xC4\x81"), std::nullopt);
}

TEST(Cp1251Test, MalformedUtf8IsDroppedOrReplaced) {
    // A lone continuation byte, a sequence cut short, an overlong form and a surrogate.
    const std::string malformed =
        "a\x80"
        "b\xD0"
        "c\xC0\xAF"
        "d\xED\xA0\x80"
        "e";
    EXPECT_FALSE(IsUtf8(malformed));
    EXPECT_EQ(Utf8ToUtf32(malformed), U"abcde");
    EXPECT_EQ(Utf8ToUtf32(malformed, U'?'), U"a?b?c??d???e");
    EXPECT_TRUE(IsUtf8(""));
    EXPECT_TRUE(IsUtf8("\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0"));
    EXPECT_FALSE(IsUtf8("\xE8\xE3\xF0\xE0"));
}

}  // namespace
}  // namespace narravox
