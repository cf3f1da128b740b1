// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host.h"

// The game's rules that every front-end follows around the engine's events: how long a typed
// line may be, what answers a question, which name a saved game gets and when saving asks
// before it replaces a file. Written once here, so that the window and the terminal agree; a
// front-end only draws and delivers keys.
namespace narravox {

// The extension a saved game's file name gets when the player types none.
inline constexpr std::string_view kSavedGameExtension = ".nvs";

// Adds ".nvs" to a file name whose last component has no extension, as the save and load
// dialogs do. A name ending in "/" names a folder and stays as it is.
std::string WithDefaultExtension(std::string name);

// The most characters the command line holds: one less than the text window's width, so that
// an echoed command (">" and the line) fits on one line of the text window.
std::size_t CommandLineLength(std::int32_t line_width);

// Cuts a typed line (code page 1251) to CommandLineLength.
std::string CutToCommandLine(std::string typed, std::int32_t line_width);

// A command line as the game receives it from a front-end that reads UTF-8.
struct TypedLine {
    std::string text;         // code page 1251
    std::size_t dropped = 0;  // characters the code page lacks, or malformed bytes
};

// Converts a typed UTF-8 line and cuts it to CommandLineLength.
TypedLine ConvertTypedLine(std::string_view utf8, std::int32_t line_width);

// A typed answer to a yes-or-no question (code page 1251): "да", "д", "yes" and "y" in any
// case mean Yes; everything else means No.
bool IsYesAnswer(std::string_view cp1251);

// A key pressed in a yes-or-no box, as the character it types (code page 1251): the first
// letter of a yes or a no in either language and either case answers the box, any other key
// nothing. Enter and Esc are the front-end's to map, as they have no character.
std::optional<Button> AnswerForKey(char cp1251);

// The question a save asks before it replaces an existing file, in UTF-8 like the name. Its
// two sentences are joined by `line_break`: a line feed in a box, a space on a line of its own.
std::string OverwriteQuestion(std::string_view file_name, std::string_view line_break);

// Whether choosing `file_name` must first ask the overwrite question: only a save does, and
// only over a file that exists.
bool MustAskBeforeOverwriting(FileChoice choice, const std::string& file_name);

// The file choice the host is asked for (Host::ChooseFile), for a front-end that asks for the
// name itself: `ask_name` gets the name typed, nothing or an empty name cancelling the choice;
// the default extension is added; and a save over an existing file asks `confirm_overwrite`
// (given the full name) first, a No asking for a name again.
std::optional<std::string> ChooseSavedGameFile(
    FileChoice choice, const std::function<std::optional<std::string>()>& ask_name,
    const std::function<bool(const std::string& file_name)>& confirm_overwrite);

}  // namespace narravox
