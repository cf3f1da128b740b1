// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The editing behind the full-screen command line and the file-name box, kept apart from the
// drawing so that it can be tested without a terminal. Text is held as Unicode characters so
// that the caret moves by characters whatever their UTF-8 length.
namespace narravox::term {

class LineEditor {
  public:
    explicit LineEditor(std::size_t max_length) : max_length_(max_length) {}

    const std::u32string& text() const { return text_; }
    std::size_t caret() const { return caret_; }
    std::size_t max_length() const { return max_length_; }

    // A smaller limit (a narrower terminal) applies to what is typed from now on; text already
    // there stays until Enter cuts it, so that widening the terminal again loses nothing.
    void SetMaxLength(std::size_t max_length) { max_length_ = max_length; }

    // Replaces the text and puts the caret after its last character.
    void SetText(std::u32string text);
    void Clear() { SetText({}); }

    // False when the line is full.
    bool Insert(char32_t c);
    void Backspace();
    void Delete();
    void Left();
    void Right();
    void Home() { caret_ = 0; }
    void End() { caret_ = text_.size(); }

  private:
    std::u32string text_;
    std::size_t caret_ = 0;
    std::size_t max_length_;
};

// Tab completion of a file name against the names in its folder.
struct Completion {
    std::string text;                     // the name, completed as far as it is unambiguous
    std::vector<std::string> candidates;  // every name that fits, sorted
};

// `typed` may hold a folder part ("saves/ga"); `names` are the entries of that folder, with
// folders ending in "/". Names starting with "." are offered only when the typed part does.
// A game's data files are never offered: a save is the only use of a completed name that
// writes, and saving over them would destroy the game.
Completion CompleteFileName(const std::string& typed, std::vector<std::string> names);

// The folder whose entries complete `typed`: its folder part, or "." for none.
std::string CompletionFolder(const std::string& typed);

// Completes `typed` against the entries of its folder on disk; a folder that cannot be read
// offers nothing.
Completion CompleteFromFolder(const std::string& typed);

}  // namespace narravox::term
