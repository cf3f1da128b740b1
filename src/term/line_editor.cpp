// SPDX-License-Identifier: MIT
#include "line_editor.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "data/data_file.h"

namespace narravox::term {

void LineEditor::SetText(std::u32string text) {
    text_ = std::move(text);
    caret_ = text_.size();
}

bool LineEditor::Insert(char32_t c) {
    if (text_.size() >= max_length_) {
        return false;
    }
    text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(caret_), c);
    ++caret_;
    return true;
}

void LineEditor::Backspace() {
    if (caret_ > 0) {
        --caret_;
        text_.erase(caret_, 1);
    }
}

void LineEditor::Delete() {
    if (caret_ < text_.size()) {
        text_.erase(caret_, 1);
    }
}

void LineEditor::Left() {
    if (caret_ > 0) {
        --caret_;
    }
}

void LineEditor::Right() {
    if (caret_ < text_.size()) {
        ++caret_;
    }
}

namespace {

// ASCII letters compared without their case: a folder on a case-blind file system (a memory
// stick, a shared Windows folder) holds the game's data files under any spelling.
bool SameLettersIgnoringCase(std::string_view name, std::string_view data_file) {
    return name.size() == data_file.size() &&
           std::equal(name.begin(), name.end(), data_file.begin(), [](char a, char b) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
               };
               return lower(a) == lower(b);
           });
}

}  // namespace

std::string CompletionFolder(const std::string& typed) {
    const auto slash = typed.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : typed.substr(0, slash);
}

Completion CompleteFileName(const std::string& typed, std::vector<std::string> names) {
    const auto slash = typed.find_last_of('/');
    const std::string folder_part = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
    const std::string prefix = typed.substr(folder_part.size());

    Completion result{typed, {}};
    std::sort(names.begin(), names.end());
    for (auto& name : names) {
        const bool hidden_ok = !name.empty() && (name[0] != '.' || !prefix.empty());
        const bool data_file = SameLettersIgnoringCase(name, kCommandsFileName) ||
                               SameLettersIgnoringCase(name, kScenarioFileName);
        if (hidden_ok && !data_file && name.compare(0, prefix.size(), prefix) == 0) {
            result.candidates.push_back(std::move(name));
        }
    }
    if (result.candidates.empty()) {
        return result;
    }
    // The longest start every candidate shares, compared byte by byte; when two names differ
    // inside a multi-byte UTF-8 character, the cut moves back to that character's first byte.
    std::string common = result.candidates.front();
    for (const auto& name : result.candidates) {
        std::size_t length = 0;
        while (length < common.size() && length < name.size() && common[length] == name[length]) {
            ++length;
        }
        common.resize(length);
    }
    while (!common.empty() && common.size() < result.candidates.front().size() &&
           (static_cast<unsigned char>(result.candidates.front()[common.size()]) & 0xC0) == 0x80) {
        common.pop_back();
    }
    result.text = folder_part + common;
    return result;
}

Completion CompleteFromFolder(const std::string& typed) {
    std::vector<std::string> names;
    std::error_code error;
    // Incremented with an error code, so that an entry that vanishes or a folder that stops
    // being readable halfway ends the list instead of throwing.
    for (std::filesystem::directory_iterator entry(CompletionFolder(typed), error), end;
         !error && entry != end; entry.increment(error)) {
        std::error_code type_error;
        names.push_back(entry->path().filename().string() +
                        (entry->is_directory(type_error) ? "/" : ""));
    }
    return CompleteFileName(typed, std::move(names));
}

}  // namespace narravox::term
