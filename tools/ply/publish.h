// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace narravox::ply {

// What a published page carries besides the player: the game's data files as stored, the
// page's title (UTF-8) and the text that the start-up warning asks every player to read.
struct PublishedGame {
    std::string title;
    std::string commands;
    std::string scenario;
    std::optional<std::string> readme;  // UTF-8
};

// The places in the player template that publishing fills.
inline constexpr std::string_view kTemplateTitle = "<title>Narravox</title>";
inline constexpr std::string_view kTemplateLoading = "<div id=\"loading\" role=\"status\">Narravox</div>";
inline constexpr std::string_view kTemplateGame = "<!--narravox-game-->";

// The template with the game put in; nothing when it is no player template (a place to fill
// is missing or there twice).
std::optional<std::string> PublishPage(std::string_view player_template, const PublishedGame& game);

// The title a game's page gets: the first line of its information text (code page 1251),
// without the spaces around it; empty when that line is.
std::string TitleFromInfo(std::string_view info);

// A readme as the page shows it: UTF-8 as it is, anything else read as code page 1251, the
// encoding of text files written for these games on Russian Windows.
std::string ReadmeText(std::string_view bytes);

std::string Base64(std::string_view bytes);

}  // namespace narravox::ply
