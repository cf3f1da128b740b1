// SPDX-License-Identifier: MIT
#include "typed_text.h"

#include <algorithm>
#include <filesystem>

#include "cp1251.h"

namespace narravox::term {
namespace {

// Lower case of a code page 1251 byte: Latin and Cyrillic letters, Ё included.
char LowerCp1251(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDF)) {
        return static_cast<char>(byte + 0x20);
    }
    if (byte == 0xA8) {
        return static_cast<char>(0xB8);
    }
    return c;
}

}  // namespace

TypedLine ConvertTypedLine(std::string_view utf8, std::int32_t line_width) {
    TypedLine line;
    line.text = Utf8ToCp1251Lossy(utf8, &line.dropped);
    const std::size_t limit = line_width > 1 ? static_cast<std::size_t>(line_width - 1) : 0;
    if (line.text.size() > limit) {
        line.text.resize(limit);
    }
    return line;
}

bool IsYesAnswer(std::string_view utf8) {
    const auto converted = Utf8ToCp1251(utf8);
    if (!converted) {
        return false;
    }
    std::string answer = *converted;
    std::transform(answer.begin(), answer.end(), answer.begin(), LowerCp1251);
    return answer == Utf8ToCp1251Lossy("да") || answer == Utf8ToCp1251Lossy("д") ||
           answer == "yes" || answer == "y";
}

std::string WithDefaultExtension(std::string name) {
    if (!name.empty() && name.back() != '/' && !std::filesystem::path(name).has_extension()) {
        name += ".nvs";
    }
    return name;
}

bool LineInput::ReadLine(std::string& line) {
    if (!std::getline(in_, line)) {
        return false;
    }
    ++line_number_;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

}  // namespace narravox::term
