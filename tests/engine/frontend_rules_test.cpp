// SPDX-License-Identifier: MIT
// The rules every front-end follows: the command line's length, yes answers, the saved game's
// default extension and the question before a save replaces a file.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "cp1251.h"
#include "frontend_rules.h"
#include "support/game_builder.h"

namespace narravox {
namespace {

using testing::Cp;
using testing::TempFolder;

TEST(FrontendRulesTest, TypedLinesAreConvertedAndCutToTheCommandLine) {
    TypedLine line = ConvertTypedLine("взять ключ", 80);
    EXPECT_EQ(line.text, Cp("взять ключ"));
    EXPECT_EQ(line.dropped, 0u);

    // The cut counts characters of the code page, not UTF-8 bytes.
    line = ConvertTypedLine("ёжик", 4);
    EXPECT_EQ(line.text, Cp("ёжи"));

    line = ConvertTypedLine(
        "a\xF0\x9F\x98\x80"
        "b\xC3",
        80);
    EXPECT_EQ(line.text, "ab");
    EXPECT_EQ(line.dropped, 2u);

    EXPECT_EQ(ConvertTypedLine("anything", 1).text, "");
}

TEST(FrontendRulesTest, CommandLineHoldsOneCharacterLessThanALine) {
    EXPECT_EQ(CommandLineLength(128), 127u);
    EXPECT_EQ(CommandLineLength(2), 1u);
    EXPECT_EQ(CommandLineLength(1), 0u);
    EXPECT_EQ(CommandLineLength(0), 0u);
    EXPECT_EQ(CommandLineLength(-5), 0u);
    EXPECT_EQ(CutToCommandLine(Cp("осмотреть"), 4), Cp("осм"));
    EXPECT_EQ(CutToCommandLine("abc", 4), "abc");
    EXPECT_EQ(CutToCommandLine("abc", 0), "");
}

TEST(FrontendRulesTest, OnlyTheYesWordsInAnyCaseSayYes) {
    for (const char* yes : {"да", "ДА", "Да", "дА", "д", "Д", "yes", "Yes", "YES", "y", "Y"}) {
        EXPECT_TRUE(IsYesAnswer(Cp(yes))) << yes;
    }
    for (const char* no : {"", "нет", "n", "да!", " да", "yes sir", "ok", "я", "ja"}) {
        EXPECT_FALSE(IsYesAnswer(Cp(no))) << no;
    }
}

TEST(FrontendRulesTest, BoxLettersAnswerInEitherLanguageAndCase) {
    for (const char* yes : {"y", "Y", "д", "Д"}) {
        EXPECT_EQ(AnswerForKey(Cp(yes)[0]), Button::kYes) << yes;
    }
    for (const char* no : {"n", "N", "н", "Н"}) {
        EXPECT_EQ(AnswerForKey(Cp(no)[0]), Button::kNo) << no;
    }
    for (const char* other : {"a", "j", "ж", "Ж", " ", "\t", "1"}) {
        EXPECT_EQ(AnswerForKey(Cp(other)[0]), std::nullopt) << other;
    }
}

TEST(FrontendRulesTest, SavedGamesGetTheDefaultExtension) {
    EXPECT_EQ(WithDefaultExtension("игра"), "игра.nvs");
    EXPECT_EQ(WithDefaultExtension("игра.sav"), "игра.sav");
    EXPECT_EQ(WithDefaultExtension("saves.d/игра"), "saves.d/игра.nvs");
    EXPECT_EQ(WithDefaultExtension(".hidden"), ".hidden.nvs");
    EXPECT_EQ(WithDefaultExtension("saves/"), "saves/");
    EXPECT_EQ(WithDefaultExtension(""), "");
}

TEST(FrontendRulesTest, OverwriteQuestionNamesTheFile) {
    EXPECT_EQ(OverwriteQuestion("игра.nvs", "\n"), "Файл игра.nvs уже существует.\nЗаменить его?");
    EXPECT_EQ(OverwriteQuestion("a b.nvs", " "), "Файл a b.nvs уже существует. Заменить его?");
}

// Runs a file choice with the names typed in turn and the answers given to the question, and
// records every question asked.
struct Choice {
    FileChoice choice;
    std::deque<std::optional<std::string>> names;
    std::deque<bool> answers;
    std::vector<std::string> asked;

    std::optional<std::string> Run() {
        return ChooseSavedGameFile(
            choice,
            [this]() -> std::optional<std::string> {
                if (names.empty()) {
                    ADD_FAILURE() << "a name was asked for once too often";
                    return std::nullopt;
                }
                auto name = names.front();
                names.pop_front();
                return name;
            },
            [this](const std::string& file_name) {
                asked.push_back(file_name);
                const bool yes = !answers.empty() && answers.front();
                if (!answers.empty()) {
                    answers.pop_front();
                }
                return yes;
            });
    }
};

TEST(FrontendRulesTest, SavingOverAnExistingFileAsksAndNoAsksForAnotherName) {
    TempFolder folder;
    const std::string old_save = folder / "старая.nvs";
    testing::WriteFile(old_save, "saved");
    const std::string without_extension = folder / "старая";
    const std::string fresh = folder / "новая";

    Choice yes{FileChoice::kSave, {without_extension}, {true}, {}};
    EXPECT_EQ(yes.Run(), old_save);
    EXPECT_EQ(yes.asked, std::vector<std::string>{old_save});

    Choice no_then_fresh{FileChoice::kSave, {without_extension, fresh}, {false}, {}};
    EXPECT_EQ(no_then_fresh.Run(), fresh + ".nvs");
    EXPECT_EQ(no_then_fresh.asked, std::vector<std::string>{old_save});

    Choice no_then_cancel{FileChoice::kSave, {old_save, std::nullopt}, {false}, {}};
    EXPECT_EQ(no_then_cancel.Run(), std::nullopt);

    // Loading never asks, whatever exists.
    Choice load{FileChoice::kOpen, {without_extension}, {}, {}};
    EXPECT_EQ(load.Run(), old_save);
    EXPECT_TRUE(load.asked.empty());
    EXPECT_FALSE(MustAskBeforeOverwriting(FileChoice::kOpen, old_save));
    EXPECT_TRUE(MustAskBeforeOverwriting(FileChoice::kSave, old_save));
    EXPECT_FALSE(MustAskBeforeOverwriting(FileChoice::kSave, fresh + ".nvs"));
}

TEST(FrontendRulesTest, AnEmptyNameOrACancelEndsTheChoice) {
    Choice empty{FileChoice::kSave, {std::string()}, {}, {}};
    EXPECT_EQ(empty.Run(), std::nullopt);
    Choice cancelled{FileChoice::kOpen, {std::nullopt}, {}, {}};
    EXPECT_EQ(cancelled.Run(), std::nullopt);
    EXPECT_TRUE(empty.asked.empty());
}

}  // namespace
}  // namespace narravox
