// The test builder must lay files out exactly as the engine expects them; these cases pin it
// to the worked examples of the file format.
#include <gtest/gtest.h>

#include "support/game_builder.h"

namespace narravox::testing {
namespace {

std::uint32_t U32At(const std::string& plain, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(plain[at + i]);
    }
    return value;
}

std::uint16_t U16At(const std::string& plain, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(plain[at]) |
                                      static_cast<unsigned char>(plain[at + 1]) << 8);
}

TEST(GameBuilder, LaysOutTheExampleScenario) {
    Scenario scenario;
    scenario.global = 0;
    scenario.start = 1;
    scenario.arrival = 1;
    scenario.info = "Пример\n";
    scenario.locations = {
        {0, "", {{{""}, {{{7}, {Text("1234567")}}}}}},
        {1,
         "Двор",
         {{{""}, {{{1}, {Text("123456789")}}}},
          {{"ключ", "ржавый ключ"}, {{{3, 4}, {Text("12345")}}}}}},
    };
    const std::string plain = Scramble(BuildScenario(scenario));
    ASSERT_EQ(plain.size(), 133u);
    EXPECT_EQ(plain.substr(0, 4), "SCR3");
    EXPECT_EQ(U32At(plain, 4), 22u);
    EXPECT_EQ(U16At(plain, 10), 1u);
    EXPECT_EQ(U32At(plain, 22), 54u);   // block end of location 0
    EXPECT_EQ(U32At(plain, 32), 54u);   // its section end
    EXPECT_EQ(U16At(plain, 38), 7u);    // its verb
    EXPECT_EQ(U32At(plain, 40), 54u);   // its reaction end
    EXPECT_EQ(U32At(plain, 54), 133u);  // block end of location 1
    EXPECT_EQ(U16At(plain, 58), 1u);
    EXPECT_EQ(U32At(plain, 68), 92u);
    EXPECT_EQ(U16At(plain, 92), 2u);
    EXPECT_EQ(Utf8(plain.substr(99, 11)), "ржавый ключ");
    EXPECT_EQ(U32At(plain, 111), 133u);
    EXPECT_EQ(U16At(plain, 119), 4u);
    EXPECT_EQ(U32At(plain, 121), 133u);
}

TEST(GameBuilder, EncodesBranchesWithAbsoluteOffsets) {
    const std::string bytes = EncodeStatements(
        {IfElse(3, {Text("Открыто"), Clear(3), CenterOff()}, {Text("Закрыто")}), Jump(2)}, 200);
    ASSERT_EQ(bytes.size(), 42u);
    EXPECT_EQ(bytes.substr(0, 2), "IE");
    EXPECT_EQ(U32At(bytes, 2), 224u);
    EXPECT_EQ(U16At(bytes, 6), 3u);
    EXPECT_EQ(bytes.substr(18, 2), "DF");
    EXPECT_EQ(bytes.substr(22, 2), "EC");
    EXPECT_EQ(U32At(bytes, 24), 238u);
    EXPECT_EQ(Utf8(bytes.substr(30, 7)), "Закрыто");
    EXPECT_EQ(bytes.substr(38, 2), "JS");
    EXPECT_EQ(U16At(bytes, 40), 2u);
}

TEST(GameBuilder, ScramblesEachByteWithItsOffset) {
    // The 16-bit value 1 at offset 4 and the text "ab" at offset 6.
    std::string file = "CMD3";
    file += std::string("\x01\x00", 2) + "ab" + '\0';
    const std::string scrambled = Scramble(file);
    EXPECT_EQ(scrambled.substr(4), std::string("\x05\x05\x67\x65\x08", 5));
    std::string long_file(600, '\0');
    const std::string long_scrambled = Scramble(long_file);
    EXPECT_EQ(long_scrambled[256], '\0');
    EXPECT_EQ(static_cast<unsigned char>(long_scrambled[511]), 0xFF);
}

}  // namespace
}  // namespace narravox::testing
