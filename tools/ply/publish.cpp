// SPDX-License-Identifier: MIT
#include "publish.h"

#include <cstdio>

#include "cp1251.h"

namespace narravox::ply {
namespace {

std::string HtmlEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A JSON string that may stand inside a <script> element: no "<" at all, so no "</script>" and
// no "<!--" can end or change it.
std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || c == '<' || c == '>' || c == '&') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Replaces the one occurrence of `place`; false when there is not exactly one.
bool FillOnce(std::string& page, std::string_view place, std::string_view with) {
    const auto at = page.find(place);
    if (at == std::string::npos || page.find(place, at + 1) != std::string::npos) {
        return false;
    }
    page.replace(at, place.size(), with);
    return true;
}

}  // namespace

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned value = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 |
                               static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[value >> 18 & 63];
        out += kDigits[value >> 12 & 63];
        out += kDigits[value >> 6 & 63];
        out += kDigits[value & 63];
    }
    if (const std::size_t left = bytes.size() - i; left > 0) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) {
            value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kDigits[value >> 18 & 63];
        out += kDigits[value >> 12 & 63];
        out += left == 2 ? kDigits[value >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

std::string TitleFromInfo(std::string_view info) {
    std::string_view line = info.substr(0, info.find_first_of("\r\n"));
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
    return Cp1251ToUtf8(line);
}

std::string ReadmeText(std::string_view bytes) {
    return IsUtf8(bytes) ? std::string(bytes) : Cp1251ToUtf8(bytes);
}

std::optional<std::string> PublishPage(std::string_view player_template,
                                       const PublishedGame& game) {
    std::string page(player_template);
    const std::string title = HtmlEscaped(game.title);
    std::string data = "<script id=\"narravox-game\" type=\"application/json\">{\"title\":" +
                       JsonString(game.title) + ",\"commands\":\"" + Base64(game.commands) +
                       "\",\"scenario\":\"" + Base64(game.scenario) + "\",\"readme\":" +
                       (game.readme ? JsonString(*game.readme) : std::string("null")) +
                       "}</script>";
    if (!FillOnce(page, kTemplateGame, data) ||
        !FillOnce(page, kTemplateTitle, "<title>" + title + "</title>") ||
        !FillOnce(page, kTemplateLoading,
                  "<div id=\"loading\" role=\"status\">" + title + "</div>")) {
        return std::nullopt;
    }
    return page;
}

}  // namespace narravox::ply
