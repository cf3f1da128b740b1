// SPDX-License-Identifier: MIT
// Typed text, the command line's editing and history, and file-name completion.
#include <gtest/gtest.h>

#include <sstream>

#include "cp1251.h"
#include "line_editor.h"
#include "typed_text.h"

namespace narravox::term {
namespace {

TEST(TermTypedText, ConvertsToTheCodePageAndCutsToTheCommandLine) {
    TypedLine line = ConvertTypedLine("взять ключ", 80);
    EXPECT_EQ(line.text, Utf8ToCp1251Lossy("взять ключ"));
    EXPECT_EQ(line.dropped, 0u);

    // The cut counts characters of the code page, not UTF-8 bytes.
    line = ConvertTypedLine("ёжик", 4);
    EXPECT_EQ(line.text, Utf8ToCp1251Lossy("ёжи"));

    line = ConvertTypedLine(
        "a\xF0\x9F\x98\x80"
        "b\xC3",
        80);
    EXPECT_EQ(line.text, "ab");
    EXPECT_EQ(line.dropped, 2u);

    EXPECT_EQ(ConvertTypedLine("anything", 1).text, "");
}

TEST(TermTypedText, YesAnswersAndDefaultExtension) {
    for (const char* yes : {"да", "ДА", "Да", "д", "Д", "yes", "Yes", "y", "Y"}) {
        EXPECT_TRUE(IsYesAnswer(yes)) << yes;
    }
    for (const char* no : {"", "нет", "n", "да!", " да", "yes sir", "ok", "\xFF"}) {
        EXPECT_FALSE(IsYesAnswer(no)) << no;
    }
    EXPECT_EQ(WithDefaultExtension("игра"), "игра.nvs");
    EXPECT_EQ(WithDefaultExtension("игра.sav"), "игра.sav");
    EXPECT_EQ(WithDefaultExtension("saves.d/игра"), "saves.d/игра.nvs");
    EXPECT_EQ(WithDefaultExtension(".hidden"), ".hidden.nvs");
}

TEST(TermTypedText, LineInputDropsCarriageReturnsAndCounts) {
    std::istringstream in("один\r\n\nтри");
    LineInput input(in);
    std::string line;
    ASSERT_TRUE(input.ReadLine(line));
    EXPECT_EQ(line, "один");
    ASSERT_TRUE(input.ReadLine(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(input.ReadLine(line));
    EXPECT_EQ(line, "три");
    EXPECT_EQ(input.line_number(), 3);
    EXPECT_FALSE(input.ReadLine(line));
}

TEST(TermLineEditor, EditsAtTheCaretWithinTheLimit) {
    LineEditor editor(5);
    for (char32_t c : U"abcdef") {
        editor.Insert(c);
    }
    EXPECT_EQ(editor.text(), U"abcde");
    editor.Home();
    editor.Right();
    editor.Delete();  // removes b
    editor.Insert(U'Ж');
    EXPECT_EQ(editor.text(), U"aЖcde");
    EXPECT_EQ(editor.caret(), 2u);
    editor.End();
    editor.Backspace();
    editor.Left();
    editor.Left();
    editor.Backspace();  // removes Ж
    EXPECT_EQ(editor.text(), U"acd");
    EXPECT_EQ(editor.caret(), 1u);

    editor.Home();
    editor.Backspace();
    editor.Left();
    EXPECT_EQ(editor.caret(), 0u);
    editor.End();
    editor.Delete();
    editor.Right();
    EXPECT_EQ(editor.text(), U"acd");
    EXPECT_EQ(editor.caret(), 3u);

    // A narrower limit keeps what is there and refuses more.
    editor.SetMaxLength(2);
    EXPECT_FALSE(editor.Insert(U'x'));
    EXPECT_EQ(editor.text(), U"acd");
}

TEST(TermLineEditor, HistoryWalksBackAndReturnsToTheDraft) {
    CommandHistory history;
    std::u32string shown;
    EXPECT_FALSE(history.Older(U"", shown));
    history.Add(U"осм");
    history.Add(U"");
    history.Add(U"взять ключ");
    history.Add(U"взять ключ");
    EXPECT_EQ(history.size(), 2u);

    ASSERT_TRUE(history.Older(U"half", shown));
    EXPECT_EQ(shown, U"взять ключ");
    ASSERT_TRUE(history.Older(shown, shown));
    EXPECT_EQ(shown, U"осм");
    EXPECT_FALSE(history.Older(shown, shown));
    ASSERT_TRUE(history.Newer(shown));
    EXPECT_EQ(shown, U"взять ключ");
    ASSERT_TRUE(history.Newer(shown));
    EXPECT_EQ(shown, U"half");
    EXPECT_FALSE(history.Newer(shown));

    // Entering a line ends the walk: Up starts again from the newest.
    history.Older(U"", shown);
    history.Add(U"идти");
    ASSERT_TRUE(history.Older(U"", shown));
    EXPECT_EQ(shown, U"идти");
}

TEST(TermCompletion, CompletesAsFarAsTheNamesAgree) {
    const std::vector<std::string> names = {"игра1.nvs", "игрок.nvs", "база.nvs",
                                            ".скрытый",  "saves/",    "save.nvs"};
    Completion completion = CompleteFileName("б", names);
    EXPECT_EQ(completion.text, "база.nvs");
    EXPECT_EQ(completion.candidates, std::vector<std::string>{"база.nvs"});

    // "а" and "о" share their first UTF-8 byte; the completion stops before both.
    completion = CompleteFileName("и", names);
    EXPECT_EQ(completion.text, "игр");
    EXPECT_EQ(completion.candidates, (std::vector<std::string>{"игра1.nvs", "игрок.nvs"}));

    completion = CompleteFileName("sav", names);
    EXPECT_EQ(completion.text, "save");
    EXPECT_EQ(completion.candidates.size(), 2u);

    completion = CompleteFileName("", names);
    EXPECT_EQ(completion.candidates.size(), 5u) << "hidden names are offered only after a dot";
    EXPECT_EQ(CompleteFileName(".", names).text, ".скрытый");

    completion = CompleteFileName("saves/пе", {"первая.nvs", "вторая.nvs"});
    EXPECT_EQ(completion.text, "saves/первая.nvs");
    EXPECT_EQ(CompleteFileName("ж", names).text, "ж");
    EXPECT_TRUE(CompleteFileName("ж", names).candidates.empty());

    EXPECT_EQ(CompletionFolder("saves/пе"), "saves");
    EXPECT_EQ(CompletionFolder("/игра"), "/");
    EXPECT_EQ(CompletionFolder("игра"), ".");
}

TEST(TermCompletion, NeverOffersTheGamesDataFiles) {
    // Completing a save's name to a data file and saving would destroy the game; the file
    // system may be blind to case, so no spelling of them is offered either.
    const std::vector<std::string> names = {"Commands.ply", "Scenario.ply",   "scenario.PLY",
                                            "COMMANDS.PLY", "Сохранение.nvs", "Commands.ply.nvs",
                                            "Scenario.plx"};
    EXPECT_EQ(CompleteFileName("C", names).candidates,
              std::vector<std::string>{"Commands.ply.nvs"});
    EXPECT_EQ(CompleteFileName("Commands.p", names).text, "Commands.ply.nvs");
    EXPECT_TRUE(CompleteFileName("sc", names).candidates.empty());
    EXPECT_EQ(CompleteFileName("sc", names).text, "sc");
    EXPECT_EQ(CompleteFileName("S", names).text, "Scenario.plx");
    EXPECT_EQ(CompleteFileName("", names).candidates,
              (std::vector<std::string>{"Commands.ply.nvs", "Scenario.plx", "Сохранение.nvs"}));
    // Nor inside another folder, which may hold a copy of the game.
    EXPECT_EQ(CompleteFileName("games/", {"Commands.ply", "Сохранение.nvs"}).text,
              "games/Сохранение.nvs");
}

}  // namespace
}  // namespace narravox::term
