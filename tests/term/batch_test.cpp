// SPDX-License-Identifier: MIT
// The batch contract of narravox-term beyond the transcripts (which the real program plays too,
// see tests/transcripts): standard input's own shapes, the files a run writes, the options and
// the exit statuses.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <utility>

#include "support/game_builder.h"
#include "term_runner.h"
#include "test_game.h"

namespace narravox::testing {
namespace {

// Every case runs with a text window of 60 columns and 4 lines, wide enough that the banner
// is not wrapped.
const std::vector<std::string> kWindow = {"--columns", "60", "--lines", "4"};

const std::string kWarningBox =
    "[!!!Внимание!!!] Если Вы играете первый раз, то\n"
    "ПРОЧИТАЙТЕ ПЕРЕД ИГРОЙ\n"
    "ДОКУМЕНТАЦИЮ!!! - Read1st!.txt\n";

// The transcript of start-up: the banner, the game's information and the first location. The
// four empty lines that fill the window first are not part of it.
const std::string kStart =
    "Narravox Engine III (3.03)\n"
    "(c) 2026 Команда Narravox\n"
    "mailto: team@narravox.org\n"
    "www: https://narravox.org\n"
    "\n"
    "Нажмите F1 для вызова окна \"О программе\".\n"
    "Нажмите F3 для повторения последней набранной команды.\n"
    "Для выхода наберите \"выход\" или \"quit\".\n"
    "Наберите \"сохранить\" для сохранения текущей игры.\n"
    "Наберите \"загрузить\" для загрузки сохранённой игры.\n"
    "\n"
    "Информация о сценарии:\n"
    "\n"
    "Проверочная игра.\n"
    "\n"
    "  Вы во дворе. На земле ключ.  \n";

std::set<std::string> GameFiles(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    names.erase(std::string(kCommandsFileName));
    names.erase(std::string(kScenarioFileName));
    return names;
}

TEST(TermBatchInput, LastLineWithoutLineFeedAndCarriageReturnsAreRead) {
    TempFolder folder;
    WriteTestGame(folder);
    const RunResult run = RunTerm(folder.path(), kWindow, "осм\r\nвзять ключ");
    EXPECT_EQ(run.out,
              kStart + ">осм\n  Вы во дворе. На земле ключ.  \n>взять ключ\n  Взяли ключ.  \n");
    EXPECT_EQ(run.err, kWarningBox);
    EXPECT_EQ(run.status, 0);
}

TEST(TermBatchFiles, SavesAreWrittenInTheGameFolderWithTheirExtension) {
    TempFolder folder;
    WriteTestGame(folder);
    const RunResult run =
        RunTerm(folder.path(), kWindow, "сохранить\nигра\nсохранить\nигра.sav\nсохранить\n\n");
    EXPECT_EQ(run.err, kWarningBox);
    EXPECT_EQ(GameFiles(folder.path()), (std::set<std::string>{"игра.nvs", "игра.sav"}));
}

TEST(TermBatchAnswers, OnlyTheYesWordsInAnyCaseEndTheGame) {
    TempFolder folder;
    WriteTestGame(folder);
    for (const std::string answer : {"да", "ДА", "дА", "д", "Д", "yes", "YES", "y", "Y"}) {
        const RunResult run = RunTerm(folder.path(), kWindow, "quit\n" + answer + "\nосм\n");
        EXPECT_EQ(run.out, kStart + ">quit\n") << answer;
        EXPECT_EQ(run.status, 0);
    }
    for (const std::string answer : {"нет", "", " да", "yes!", "ja", "n"}) {
        const RunResult run = RunTerm(folder.path(), kWindow, "quit\n" + answer + "\nосм\n");
        EXPECT_EQ(run.out, kStart + ">quit\n>осм\n  Вы во дворе. На земле ключ.  \n")
            << "\"" << answer << "\"";
    }
}

TEST(TermBatchFiles, SavingOverAFileReplacesItWithoutAsking) {
    TempFolder folder;
    WriteTestGame(folder);
    WriteFile(folder / "старая.nvs", "not a saved game");
    const RunResult run =
        RunTerm(folder.path(), kWindow, "взять ключ\nсохранить\nстарая\nзагрузить\nстарая.nvs\n");
    EXPECT_EQ(run.err, kWarningBox);
    const std::string saved = ReadFile(folder / "старая.nvs");
    EXPECT_EQ(saved.substr(0, 4), "NVES");
    EXPECT_EQ(saved.size(), 6u + 4096u);
    EXPECT_NE(run.out.find(">загрузить\n  Вы во дворе. Ключ у вас.  \n"), std::string::npos)
        << run.out;
}

TEST(TermPlainFiles, SavingOverAFileAsksFirstAndNoAsksForAnotherName) {
    TempFolder folder;
    WriteTestGame(folder);
    WriteFile(folder / "старая.nvs", "not a saved game");
    auto arguments = kWindow;
    arguments.push_back("--plain");
    const RunResult run =
        RunTerm(folder.path(), arguments, "сохранить\nстарая\nнет\nновая\nсохранить\nстарая\nда\n");
    const std::string kAskName = "Сохранить игру в файл (пустая строка — отмена):\n";
    const std::string kAskOverwrite =
        "Файл старая.nvs уже существует. Заменить его?\nДа или нет?\n";
    EXPECT_NE(run.out.find(">сохранить\n" + kAskName + kAskOverwrite + kAskName + ">\n" +
                           ">сохранить\n" + kAskName + kAskOverwrite + ">\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(ReadFile(folder / "новая.nvs").substr(0, 4), "NVES");
    EXPECT_EQ(ReadFile(folder / "старая.nvs").substr(0, 4), "NVES");
}

TEST(TermBatchFiles, LoadingAFileThatIsNoSavedGameIsRefused) {
    TempFolder folder;
    WriteTestGame(folder);
    WriteFile(folder / "чужой.nvs", std::string(4102, 'x'));
    const RunResult run = RunTerm(folder.path(), kWindow, "загрузить\nчужой\n");
    EXPECT_EQ(run.out, kStart + ">загрузить\n");
    EXPECT_EQ(run.err, kWarningBox + "[Ошибка] Неверный формат файла!\n");
}

TEST(TermBatchFiles, GameFolderIsEnteredFirst) {
    TempFolder folder;
    WriteTestGame(folder);
    TempFolder elsewhere;
    auto arguments = kWindow;
    arguments.insert(arguments.end(), {"--game", folder.path().string()});
    const RunResult run = RunTerm(elsewhere.path(), arguments, "взять ключ\nсохранить\nтам\n");
    EXPECT_EQ(run.out, kStart + ">взять ключ\n  Взяли ключ.  \n>сохранить\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(std::filesystem::exists(folder / "там.nvs"));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
}

TEST(TermBatchFiles, TranscriptIsAppendedToTheGivenFile) {
    TempFolder folder;
    WriteTestGame(folder);
    WriteFile(folder / "record.txt", "earlier game\n");
    auto arguments = kWindow;
    arguments.insert(arguments.end(), {"--transcript", "record.txt"});
    const RunResult run = RunTerm(folder.path(), arguments, "взять ключ\n");
    EXPECT_EQ(run.out, kStart + ">взять ключ\n  Взяли ключ.  \n");
    EXPECT_EQ(ReadFile(folder / "record.txt"), "earlier game\n" + run.out);
}

TEST(TermBatchFiles, RelativeTranscriptPathIsWhereThePlayerStarted) {
    TempFolder game;
    WriteTestGame(game);
    TempFolder start;
    std::filesystem::create_directory(start / "logs");
    auto arguments = kWindow;
    arguments.insert(arguments.end(),
                     {"--game", game.path().string(), "--transcript", "logs/record.txt"});
    const RunResult run = RunTerm(start.path(), arguments, "взять ключ\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(start.path() / "logs" / "record.txt"), run.out);
    EXPECT_FALSE(std::filesystem::exists(game / "logs")) << "written inside the game folder";
}

TEST(TermBatchFiles, PaceWaitsASecondBetweenCentredLines) {
    TempFolder folder;
    WriteTestGame(folder);
    auto arguments = kWindow;
    arguments.push_back("--pace");
    const auto started = std::chrono::steady_clock::now();
    // Two centred lines: the second starts at the earliest one clock second after the first.
    const RunResult run = RunTerm(folder.path(), arguments, "идти в дом\n");
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
    EXPECT_NE(run.out.find("милый дом\n"), std::string::npos);
}

TEST(TermBatchTitle, ErrorBoxesAreCaptionedWithTheProgramsOwnName) {
    TempFolder folder;
    WriteTestGame(folder);
    TempFolder bin;
    // The name up to its first full stop, lower case after the first character, whatever the
    // alphabet.
    const std::pair<const char*, const char*> kNames[] = {
        {"игра-term", "игра-term"},
        {"ИГРА.exe", "Игра"},
        {"Narravox.Term", "Narravox"},
    };
    for (const auto& [name, title] : kNames) {
        const RunResult run =
            RunTermAs(bin.path() / name, folder.path(), kWindow, "загрузить\nnothere\n");
        EXPECT_EQ(run.err, kWarningBox + "[" + title + "] File not found.\n") << name;
        EXPECT_EQ(run.status, 0) << name;
    }
}

struct FailureCase {
    const char* name;
    std::vector<std::string> arguments;
    // A data file taken out of the test game, and replaced by these bytes when they are given.
    std::string damaged_file;
    std::string damaged_bytes;
    std::string out;
    std::string err;
    int status;
};

const FailureCase kFailureCases[] = {
    {"MissingScenarioFile",
     {},
     "Scenario.ply",
     "",
     "",
     "[Ошибка] Файл сценария \"Scenario.ply\" не найден!\n",
     1},
    {"DataFileShorterThanItsMagic",
     {},
     "Commands.ply",
     "CM",
     "",
     "[narravox-term] Read beyond end of file.\n",
     1},
    {"ZeroColumns",
     {"--columns", "0"},
     "",
     "",
     "",
     "narravox-term: --columns needs a whole number from 1 to 10000, not \"0\"\n"
     "Try \"narravox-term --help\".\n",
     2},
    {"NegativeLines",
     {"--lines=-3"},
     "",
     "",
     "",
     "narravox-term: --lines needs a whole number from 1 to 10000, not \"-3\"\n"
     "Try \"narravox-term --help\".\n",
     2},
    {"AbsurdlyManyLines",
     {"--lines", "2400000"},
     "",
     "",
     "",
     "narravox-term: --lines needs a whole number from 1 to 10000, not \"2400000\"\n"
     "Try \"narravox-term --help\".\n",
     2},
    {"UnknownArgument",
     {"--colour"},
     "",
     "",
     "",
     "narravox-term: unknown argument \"--colour\"\nTry \"narravox-term --help\".\n",
     2},
    {"MissingGameFolder",
     {"--game", "/nonexistent/narravox"},
     "",
     "",
     "",
     "narravox-term: cannot change into /nonexistent/narravox: No such file or directory\n",
     1},
};

void PrintTo(const FailureCase& failure, std::ostream* out) {
    *out << failure.name;
}

class TermBatchFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TermBatchFailure, EndsWithItsStatus) {
    const FailureCase& failure = GetParam();
    TempFolder folder;
    WriteTestGame(folder);
    if (!failure.damaged_file.empty()) {
        std::filesystem::remove(folder / failure.damaged_file);
        if (!failure.damaged_bytes.empty()) {
            WriteFile(folder / failure.damaged_file, failure.damaged_bytes);
        }
    }
    const RunResult run = RunTerm(folder.path(), failure.arguments, "осм\n");
    EXPECT_EQ(run.out, failure.out);
    EXPECT_EQ(run.err, failure.err);
    EXPECT_EQ(run.status, failure.status);
}

INSTANTIATE_TEST_SUITE_P(Failures, TermBatchFailure, ::testing::ValuesIn(kFailureCases),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

}  // namespace
}  // namespace narravox::testing
