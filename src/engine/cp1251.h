// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Conversion between the engine's code page 1251 text, UTF-8 and UTF-32. The game's own text is
// code page 1251 throughout; the engine converts where its rules meet the system (the program's
// file name, a typed line, the question about a file name), and the front-ends and tools convert
// at their edges with the same functions.
namespace narravox {

// The Unicode character a code page 1251 byte stands for. The one byte the code page leaves
// unassigned (0x98) comes back as U+FFFD.
char32_t Cp1251ToUnicode(unsigned char byte);

// The code page 1251 byte of a character, or nothing when the code page lacks it.
std::optional<unsigned char> UnicodeToCp1251(char32_t code_point);

std::string Cp1251ToUtf8(std::string_view text);

// Decodes the UTF-8 sequence at `pos` and moves `pos` past it. Returns false (and moves `pos`
// one byte on) for a malformed sequence, so a caller can report it and go on.
bool NextUtf8(std::string_view text, std::size_t& pos, char32_t& code_point);

void AppendUtf8(std::string& out, char32_t code_point);

// Whether the whole text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// Whole-text conversion; nothing when a character is malformed or missing from the code page.
std::optional<std::string> Utf8ToCp1251(std::string_view text);

// Conversion that drops what it cannot convert and counts it in `dropped`.
std::string Utf8ToCp1251Lossy(std::string_view text, std::size_t* dropped = nullptr);

// Decodes UTF-8. A malformed byte is dropped, or stands as `replacement` when one is given.
std::u32string Utf8ToUtf32(std::string_view text,
                           std::optional<char32_t> replacement = std::nullopt);

std::string Utf32ToUtf8(std::u32string_view text);

std::u32string Cp1251ToUtf32(std::string_view text);

// Drops the characters the code page lacks.
std::string Utf32ToCp1251Lossy(std::u32string_view text);

}  // namespace narravox
