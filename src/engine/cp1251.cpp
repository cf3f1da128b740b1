// SPDX-License-Identifier: MIT
#include "cp1251.h"

#include <array>

namespace narravox {
namespace {

constexpr std::array<char16_t, 128> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

}  // namespace

char32_t Cp1251ToUnicode(unsigned char byte) {
    if (byte < 0x80) {
        return byte;
    }
    return kUpperHalf[byte - 0x80];
}

std::optional<unsigned char> UnicodeToCp1251(char32_t code_point) {
    if (code_point < 0x80) {
        return static_cast<unsigned char>(code_point);
    }
    if (code_point >= 0x0410 && code_point <= 0x044F) {
        return static_cast<unsigned char>(code_point - 0x0410 + 0xC0);
    }
    if (code_point == 0xFFFD) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kUpperHalf.size(); ++i) {
        if (kUpperHalf[i] == code_point) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        AppendUtf8(out, Cp1251ToUnicode(static_cast<unsigned char>(c)));
    }
    return out;
}

bool NextUtf8(std::string_view text, std::size_t& pos, char32_t& code_point) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        code_point = lead;
        ++pos;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        ++pos;
        return false;
    }
    if (text.size() - pos < length) {
        ++pos;
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += length;
    code_point = cp;
    return true;
}

bool IsUtf8(std::string_view text) {
    std::size_t pos = 0;
    char32_t cp = 0;
    while (pos < text.size()) {
        if (!NextUtf8(text, pos, cp)) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> Utf8ToCp1251(std::string_view text) {
    std::size_t dropped = 0;
    std::string out = Utf8ToCp1251Lossy(text, &dropped);
    if (dropped != 0) {
        return std::nullopt;
    }
    return out;
}

std::string Utf8ToCp1251Lossy(std::string_view text, std::size_t* dropped) {
    std::string out;
    out.reserve(text.size());
    std::size_t lost = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        if (!NextUtf8(text, pos, cp)) {
            ++lost;
            continue;
        }
        if (const auto byte = UnicodeToCp1251(cp)) {
            out += static_cast<char>(*byte);
        } else {
            ++lost;
        }
    }
    if (dropped != nullptr) {
        *dropped = lost;
    }
    return out;
}

std::u32string Utf8ToUtf32(std::string_view text, std::optional<char32_t> replacement) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        if (NextUtf8(text, pos, cp)) {
            out += cp;
        } else if (replacement) {
            out += *replacement;
        }
    }
    return out;
}

std::string Utf32ToUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : text) {
        AppendUtf8(out, cp);
    }
    return out;
}

std::u32string Cp1251ToUtf32(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (char c : text) {
        out += Cp1251ToUnicode(static_cast<unsigned char>(c));
    }
    return out;
}

std::string Utf32ToCp1251Lossy(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : text) {
        if (const auto byte = UnicodeToCp1251(cp)) {
            out += static_cast<char>(*byte);
        }
    }
    return out;
}

}  // namespace narravox
