// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// How names and typed texts can be misspelt: letters of two alphabets that look the same, and
// slips of the keyboard. The compiler uses it to suggest a name, the lint to tie a flag set
// under one name to one tested under another.
namespace narravox::ply {

bool IsLatinLetter(char32_t c);
bool IsCyrillicLetter(char32_t c);

// The Cyrillic letter a Latin one cannot be told from in an ordinary upright font, or the
// letter itself.
char32_t FoldLookAlike(char32_t c);

// The text with every Latin look-alike replaced by its Cyrillic twin.
std::u32string FoldLookAlikes(std::u32string text);

// Edit distance between two texts in code points, two neighbours swapped counting as one slip;
// `limit + 1` as soon as it is clear the distance exceeds `limit`, so that long texts cost little.
int EditDistance(const std::u32string& a, const std::u32string& b, int limit);

}  // namespace narravox::ply
