// SPDX-License-Identifier: MIT
// Two-byte fields of the data files at values past their low byte: the header's global and
// start locations and arrival verb, verb numbers and synonym counts in the vocabulary, phrase
// and verb counts in the scenario. A reader that kept only the low byte would send the player
// elsewhere or miss the reaction.
#include <gtest/gtest.h>

#include "interp/flags.h"
#include "support/harness.h"

namespace narravox::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr std::int16_t kArrive = 300;
constexpr std::int16_t kTop = 32767;
constexpr std::int16_t kBottom = -32768;
constexpr std::int16_t kMany = 2;
// A verb whose low byte matches kArrive's; typing it must not run the arrival reaction.
constexpr std::int16_t kAlias = 300 & 0xFF;

// "с0" … "с299": more synonyms, phrases or verbs than one byte can count.
std::vector<std::string> Numbered(const std::string& stem, int count) {
    std::vector<std::string> words;
    for (int i = 0; i < count; ++i) {
        words.push_back(stem + std::to_string(i));
    }
    return words;
}

class WideNumbersTest : public ::testing::Test {
  protected:
    WideNumbersTest()
        : harness_({{kArrive, {"войти"}},
                    {kTop, {"верх"}},
                    {kBottom, {"низ"}},
                    {kMany, Numbered("с", 300)},
                    {kAlias, {"другое"}}},
                   Scenario{300, 65535, kArrive, "", "", {}}) {
        std::vector<std::int16_t> many_verbs;
        for (int verb = 1000; verb < 1300; ++verb) {
            many_verbs.push_back(static_cast<std::int16_t>(verb));
        }
        many_verbs.push_back(kMany);
        harness_.scenario.locations = {
            {44, "Не та", {{{""}, {{{kArrive}, {Text("Не туда.")}}}}}},
            {300, "", {{{""}, {{{kTop}, {Text("Вершина."), Set(32767)}}}}}},
            {65535,
             "Край",
             {{{""}, {{{kArrive}, {Text("Край.")}}, {{kBottom}, {Text("Дно.")}}}},
              {Numbered("ф", 300), {{many_verbs, {Text("Найдено.")}}}}}},
        };
    }

    Lines Answer(std::string_view typed) { return harness_.Answer(typed); }

    Harness harness_;
};

TEST_F(WideNumbersTest, HeaderFieldsArriveWhole) {
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    EXPECT_EQ(harness_.game().CurrentLocation, 65535);
    EXPECT_EQ(harness_.game().GlobalLocation, 300);
    EXPECT_EQ(harness_.game().ArrivalVerb, kArrive);
    const Lines lines = harness_.TakeLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "  Край.  ");
    EXPECT_EQ(Utf8(harness_.game().Title), " Край");
}

TEST_F(WideNumbersTest, VerbsAtBothEndsOfTheirRangeAreFound) {
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    harness_.TakeLines();
    EXPECT_EQ(Answer("верх"), (Lines{"  Вершина.  "}));  // from the global location 300
    EXPECT_TRUE(TestFlag(harness_.game().Flags, 32767));
    EXPECT_EQ(Answer("низ"), (Lines{"  Дно.  "}));
    EXPECT_NE(Answer("другое"), (Lines{"  Край.  "}));
}

TEST_F(WideNumbersTest, CountsPastOneByteAreReadWhole) {
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    harness_.TakeLines();
    // The last of 300 synonyms, the last of 300 phrases and the last of 301 verbs.
    EXPECT_EQ(Answer("с299 ф299"), (Lines{"  Найдено.  "}));
    EXPECT_EQ(Answer("с0 ф0"), (Lines{"  Найдено.  "}));
}

}  // namespace
}  // namespace narravox::testing
