// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "interp/game.h"

namespace narravox {

class Host;

// How start-up ended.
enum class StartResult {
    // A data file is missing or wrong; its box has been shown. The program ends.
    kDataFilesRefused,
    // Reading a data file failed during the check; the error box has been shown. The window
    // stays at its design size and the text window has no lines or columns.
    kCheckFailed,
    // The window is laid out and the game has started, or its start was abandoned by an
    // input/output error that has been reported. Either way the program runs on.
    kStarted,
};

// What a front-end does after the Enter handling.
struct EnterResult {
    // The player confirmed quitting: close the window once the handling has returned.
    bool CloseRequested = false;
    // The hidden mode is on: draw the emblem over the text window now.
    bool DrawEmblem = false;
};

// The events a front-end delivers, with the game they drive. Each event is handled whole:
// an input/output failure abandons the rest of it and is reported in the error box here, the
// one place that catches it, and the next event is handled as usual.
class Session {
  public:
    // `program_title` is the caption of error boxes (see ProgramTitle).
    Session(Host& host, std::string program_title, std::string game_folder = {});

    // The start-up sequence after the window is created: the data-file check, then, with the
    // given text window size, the fill, the banner, the title, a new game, the first-play
    // warning and the arrival in the start location.
    StartResult Start(std::int32_t visible_lines, std::int32_t line_width);

    // Enter with the command line's text as typed (code page 1251).
    EnterResult PressEnter(const std::string& typed);

    // F1: the About box, or the dedication while the hidden mode is on.
    void PressF1();

    // F3: the text to put into the command line, caret at its end.
    const std::string& PressF3() const { return game_.LastCommand; }

    Game& game() { return game_; }
    const Game& game() const { return game_; }

    // The error box of an input/output failure, captioned with the program's title; for a
    // front-end whose own step of an event fails, such as keeping a saved game.
    void ReportIoError(int code);

  private:

    Host& host_;
    std::string program_title_;
    Game game_;
};

// Texts the front-ends show outside the game's own boxes.
std::string ProductLine();

// The command lines the player program carries out itself: they never reach the game.
enum class ProgramCommand { kNone, kHiddenMode, kQuit, kSave, kLoad };

// Which of them a command line is, once normalised and with "ё" folded (code page 1251).
ProgramCommand ProgramCommandOf(std::string_view command);

}  // namespace narravox
