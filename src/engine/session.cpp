// SPDX-License-Identifier: MIT
#include "session.h"

#include "cp1251.h"
#include "data/data_file.h"
#include "host.h"
#include "interp/normalize.h"
#include "interp/reactions.h"
#include "io_error.h"
#include "save/saved_game.h"

namespace narravox {
namespace {

constexpr const char* kProductLine = "Narravox Engine III (3.03)\n";
constexpr const char* kAuthorshipLine = "(c) 2026 Команда Narravox\n";

std::string Cp(const char* utf8) {
    return Utf8ToCp1251Lossy(utf8);
}

}  // namespace

std::string ProductLine() {
    return Cp(kProductLine);
}

ProgramCommand ProgramCommandOf(std::string_view command) {
    if (command == "vorn telik") {
        return ProgramCommand::kHiddenMode;
    }
    if (command == "quit" || command == Cp("выход")) {
        return ProgramCommand::kQuit;
    }
    if (command == Cp("сохранить")) {
        return ProgramCommand::kSave;
    }
    if (command == Cp("загрузить")) {
        return ProgramCommand::kLoad;
    }
    return ProgramCommand::kNone;
}

Session::Session(Host& host, std::string program_title, std::string game_folder)
    : host_(host), program_title_(std::move(program_title)), game_(host, std::move(game_folder)) {}

void Session::ReportIoError(int code) {
    host_.ShowBox(
        Box{program_title_, ErrorBoxText(IoErrorMessage(code)), BoxButtons::kOk, BoxIcon::kError});
}

StartResult Session::Start(std::int32_t visible_lines, std::int32_t line_width) {
    try {
        if (!CheckDataFiles(host_, game_.GameFolder)) {
            return StartResult::kDataFilesRefused;
        }
    } catch (const IoError& error) {
        ReportIoError(error.code());
        return StartResult::kCheckFailed;
    }
    auto& window = game_.TextWindow;
    window.VisibleLines = visible_lines;
    window.LineWidth = line_width;
    try {
        window.Fill();
        window.PrintText(Cp(kProductLine) + Cp(kAuthorshipLine));
        window.PrintText(Cp("mailto: team@narravox.org\n"));
        window.PrintText(Cp("www: https://narravox.org\n\n"));
        window.PrintText(Cp("Нажмите F1 для вызова окна \"О программе\".\n"));
        window.PrintText(Cp("Нажмите F3 для повторения последней набранной команды.\n"));
        window.PrintText(Cp("Для выхода наберите \"выход\" или \"quit\".\n"));
        window.PrintText(Cp("Наберите \"сохранить\" для сохранения текущей игры.\n"));
        window.PrintText(Cp("Наберите \"загрузить\" для загрузки сохранённой игры.\n\n"));
        game_.SetTitle(" Narravox Enigne III");
        ResetGame(game_);
        host_.ShowBox(Box{Cp("!!!Внимание!!!"),
                          Cp("Если Вы играете первый раз, то\nПРОЧИТАЙТЕ ПЕРЕД ИГРОЙ\n"
                             "ДОКУМЕНТАЦИЮ!!! - Read1st!.txt"),
                          BoxButtons::kOk, BoxIcon::kWarning});
        EnterLocation(game_);
    } catch (const IoError& error) {
        ReportIoError(error.code());
    }
    return StartResult::kStarted;
}

EnterResult Session::PressEnter(const std::string& typed) {
    EnterResult result;
    try {
        game_.LastCommand = typed;
        game_.TextWindow.PrintText(">" + typed + "\n");
        const std::string command = FoldYo(NormalizeCommand(typed));
        switch (ProgramCommandOf(command)) {
            case ProgramCommand::kHiddenMode:
                game_.HiddenMode = !game_.HiddenMode;
                break;
            case ProgramCommand::kQuit: {
                const Button answer =
                    host_.ShowBox(Box{Cp("Выход"), Cp("Вы действительно хотите выйти?"),
                                      BoxButtons::kYesNo, BoxIcon::kQuestion});
                result.CloseRequested = answer == Button::kYes;
                break;
            }
            case ProgramCommand::kSave:
                if (const auto path = host_.ChooseFile(FileChoice::kSave)) {
                    SaveGame(game_, *path);
                }
                break;
            case ProgramCommand::kLoad:
                if (const auto path = host_.ChooseFile(FileChoice::kOpen)) {
                    LoadGame(game_, *path);
                }
                break;
            case ProgramCommand::kNone:
                if (!command.empty()) {
                    DoCommand(game_, command);
                }
                break;
        }
        result.DrawEmblem = game_.HiddenMode;
    } catch (const IoError& error) {
        ReportIoError(error.code());
        result.DrawEmblem = false;
    }
    return result;
}

void Session::PressF1() {
    if (game_.HiddenMode) {
        host_.ShowBox(Box{"Vorn telik",
                          Cp("Посвящается всем,\n"
                             "кто читает при свече,\n"
                             "кто ищет выход из лабиринта,\n"
                             "кто не боится тёмных коридоров,\n"
                             "кто верит, что слово — это ключ,\n"
                             "и тем, кто дошёл до конца."),
                          BoxButtons::kOk, BoxIcon::kInformation});
        return;
    }
    host_.ShowBox(Box{Cp("О программе"),
                      Cp(kProductLine) + Cp(kAuthorshipLine) + Cp("Свободно распространяемая."),
                      BoxButtons::kOk, BoxIcon::kInformation});
}

}  // namespace narravox
