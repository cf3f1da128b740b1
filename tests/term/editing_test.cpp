// SPDX-License-Identifier: MIT
// Reading typed lines, the command line's editing, and file-name completion.
#include <gtest/gtest.h>

#include <sstream>

#include "line_editor.h"
#include "line_source.h"

namespace narravox::term {
namespace {

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
