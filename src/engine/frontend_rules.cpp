// SPDX-License-Identifier: MIT
#include "frontend_rules.h"

#include <filesystem>
#include <system_error>

#include "cp1251.h"
#include "interp/normalize.h"

namespace narravox {

std::string WithDefaultExtension(std::string name) {
    if (!name.empty() && name.back() != '/' && !std::filesystem::path(name).has_extension()) {
        name += kSavedGameExtension;
    }
    return name;
}

std::size_t CommandLineLength(std::int32_t line_width) {
    return line_width > 1 ? static_cast<std::size_t>(line_width - 1) : 0;
}

std::string CutToCommandLine(std::string typed, std::int32_t line_width) {
    const std::size_t limit = CommandLineLength(line_width);
    if (typed.size() > limit) {
        typed.resize(limit);
    }
    return typed;
}

TypedLine ConvertTypedLine(std::string_view utf8, std::int32_t line_width) {
    TypedLine line;
    line.text = CutToCommandLine(Utf8ToCp1251Lossy(utf8, &line.dropped), line_width);
    return line;
}

bool IsYesAnswer(std::string_view cp1251) {
    const std::string answer = LowerCase(cp1251);
    return answer == Utf8ToCp1251Lossy("да") || answer == Utf8ToCp1251Lossy("д") ||
           answer == "yes" || answer == "y";
}

std::optional<Button> AnswerForKey(char cp1251) {
    const std::string letter = LowerCase(std::string_view(&cp1251, 1));
    if (letter == "y" || letter == Utf8ToCp1251Lossy("д")) {
        return Button::kYes;
    }
    if (letter == "n" || letter == Utf8ToCp1251Lossy("н")) {
        return Button::kNo;
    }
    return std::nullopt;
}

std::string OverwriteQuestion(std::string_view file_name, std::string_view line_break) {
    std::string question = "Файл ";
    question += file_name;
    question += " уже существует.";
    question += line_break;
    question += "Заменить его?";
    return question;
}

bool MustAskBeforeOverwriting(FileChoice choice, const std::string& file_name) {
    // A file that cannot even be looked at is treated as absent; the save itself then reports
    // why it cannot be written.
    std::error_code error;
    return choice == FileChoice::kSave && std::filesystem::exists(file_name, error);
}

std::optional<std::string> ChooseSavedGameFile(
    FileChoice choice, const std::function<std::optional<std::string>()>& ask_name,
    const std::function<bool(const std::string& file_name)>& confirm_overwrite) {
    for (;;) {
        std::optional<std::string> name = ask_name();
        if (!name || name->empty()) {
            return std::nullopt;
        }
        *name = WithDefaultExtension(std::move(*name));
        if (!MustAskBeforeOverwriting(choice, *name) || confirm_overwrite(*name)) {
            return name;
        }
    }
}

}  // namespace narravox
