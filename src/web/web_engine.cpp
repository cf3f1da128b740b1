// SPDX-License-Identifier: MIT
// The engine as the web page sees it: a handful of C functions that the page's script calls,
// and a host whose boxes, file choices and pacing are the page's own. Those host calls wait for
// the player; Asyncify lets them await a promise while the engine's C++ stays as it is on the
// desktop. The page calls one waiting function at a time.
#include <emscripten.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/emblem.h"
#include "cp1251.h"
#include "frontend_rules.h"
#include "host.h"
#include "io_error.h"
#include "session.h"

namespace {

// The page's host object is Module.narravoxHost; strings cross as UTF-8.

// NOLINTBEGIN: the bodies below are JavaScript.
EM_ASYNC_JS(int, JsShowBox,
            (const char* caption, const char* text, int yes_no, const char* icon), {
    const answer = await Module.narravoxHost.showBox(UTF8ToString(caption), UTF8ToString(text),
                                                     yes_no ? 'yesno' : 'ok', UTF8ToString(icon));
    return answer === 'yes' ? 1 : answer === 'no' ? 2 : 0;
});

// Returns a string made with _malloc, or 0 when the player cancelled; the caller frees it.
EM_ASYNC_JS(char*, JsAskFileName, (int save), {
    const name = await Module.narravoxHost.askFileName(save ? 'save' : 'open');
    if (name === null || name === undefined) {
        return 0;
    }
    const size = lengthBytesUTF8(name) + 1;
    const pointer = _malloc(size);
    stringToUTF8(name, pointer, size);
    return pointer;
});

EM_ASYNC_JS(void, JsWaitForNextSecond, (), {
    await Module.narravoxHost.waitForNextSecond();
});

EM_JS(void, JsSetTitle, (const char* text), {
    Module.narravoxHost.setTitle(UTF8ToString(text));
});

EM_JS(void, JsRepaint, (), {
    Module.narravoxHost.repaint();
});
// NOLINTEND

const char* IconName(narravox::BoxIcon icon) {
    switch (icon) {
        case narravox::BoxIcon::kError:
            return "error";
        case narravox::BoxIcon::kWarning:
            return "warning";
        case narravox::BoxIcon::kInformation:
            return "information";
        case narravox::BoxIcon::kQuestion:
            return "question";
    }
    return "information";
}

class PageHost : public narravox::Host {
  public:
    narravox::Button ShowBox(const narravox::Box& box) override {
        // Everything printed so far is on the screen before the box waits.
        JsRepaint();
        const bool yes_no = box.buttons == narravox::BoxButtons::kYesNo;
        const int answer = JsShowBox(narravox::Cp1251ToUtf8(box.caption).c_str(),
                                     narravox::Cp1251ToUtf8(box.text).c_str(), yes_no ? 1 : 0,
                                     IconName(box.icon));
        if (!yes_no) {
            return narravox::Button::kOk;
        }
        return answer == 1 ? narravox::Button::kYes : narravox::Button::kNo;
    }

    std::optional<std::string> ChooseFile(narravox::FileChoice choice) override {
        JsRepaint();
        const bool save = choice == narravox::FileChoice::kSave;
        const auto ask_name = [save]() -> std::optional<std::string> {
            char* const name = JsAskFileName(save ? 1 : 0);
            if (name == nullptr) {
                return std::nullopt;
            }
            std::string result(name);
            std::free(name);
            return result;
        };
        const auto confirm_overwrite = [this](const std::string& file_name) {
            const narravox::Box question{
                narravox::Utf8ToCp1251Lossy("Сохранить игру"),
                narravox::Utf8ToCp1251Lossy(narravox::OverwriteQuestion(file_name, "\n")),
                narravox::BoxButtons::kYesNo, narravox::BoxIcon::kWarning};
            return ShowBox(question) == narravox::Button::kYes;
        };
        return narravox::ChooseSavedGameFile(choice, ask_name, confirm_overwrite);
    }

    void SetTitle(std::string_view text) override {
        JsSetTitle(narravox::Cp1251ToUtf8(text).c_str());
    }

    void RepaintTextWindow() override { JsRepaint(); }

    void WaitForNextSecond() override {
        JsRepaint();
        JsWaitForNextSecond();
    }
};

// The one game the page plays, replaced when the page opens another.
struct Player {
    PageHost host;
    std::unique_ptr<narravox::Session> session;
    std::int64_t completed_lines = 0;
    // What the getters last handed out; valid until the next call.
    std::string text;
    std::string title;
    std::string last_command;
};

Player& ThePlayer() {
    static Player player;
    return player;
}

// The console font, one glyph of 16 rows per code page 1251 byte, shared with the window.
struct Glyph {
    std::array<unsigned char, 16> rows;
};
constexpr Glyph kGlyphs[256] = {
#include "console_font_glyphs.inc"
};

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int nv_open(const char* folder, const char* program_name) {
    Player& player = ThePlayer();
    player.session.reset();
    player.completed_lines = 0;
    if (::chdir(folder) != 0) {
        return -1;
    }
    player.session = std::make_unique<narravox::Session>(
        player.host, narravox::ProgramTitle(narravox::Utf8ToCp1251Lossy(program_name)));
    player.session->game().TextWindow.SetLineSink(
        [&player](std::string_view) { ++player.completed_lines; });
    return 0;
}

EMSCRIPTEN_KEEPALIVE int nv_start(int lines, int columns) {
    Player& player = ThePlayer();
    if (!player.session) {
        return 0;
    }
    switch (player.session->Start(lines, columns)) {
        case narravox::StartResult::kDataFilesRefused:
            return 0;
        case narravox::StartResult::kCheckFailed:
            return 1;
        case narravox::StartResult::kStarted:
            return 2;
    }
    return 0;
}

EMSCRIPTEN_KEEPALIVE int nv_enter(const char* typed) {
    Player& player = ThePlayer();
    if (!player.session) {
        return 0;
    }
    const narravox::TypedLine line =
        narravox::ConvertTypedLine(typed, player.session->game().TextWindow.LineWidth);
    const narravox::EnterResult result = player.session->PressEnter(line.text);
    return (result.CloseRequested ? 1 : 0) | (result.DrawEmblem ? 2 : 0);
}

EMSCRIPTEN_KEEPALIVE void nv_f1() {
    Player& player = ThePlayer();
    if (player.session) {
        player.session->PressF1();
    }
}

EMSCRIPTEN_KEEPALIVE const char* nv_last_command() {
    Player& player = ThePlayer();
    player.last_command =
        player.session ? narravox::Cp1251ToUtf8(player.session->PressF3()) : std::string();
    return player.last_command.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* nv_text() {
    Player& player = ThePlayer();
    player.text = player.session
                      ? narravox::Cp1251ToUtf8(player.session->game().TextWindow.Text())
                      : std::string();
    return player.text.c_str();
}

EMSCRIPTEN_KEEPALIVE double nv_completed_lines() {
    return static_cast<double>(ThePlayer().completed_lines);
}

EMSCRIPTEN_KEEPALIVE const char* nv_title() {
    Player& player = ThePlayer();
    player.title =
        player.session ? narravox::Cp1251ToUtf8(player.session->game().Title) : std::string();
    return player.title.c_str();
}

EMSCRIPTEN_KEEPALIVE int nv_visible_lines() {
    const Player& player = ThePlayer();
    return player.session ? player.session->game().TextWindow.VisibleLines : 0;
}

EMSCRIPTEN_KEEPALIVE int nv_line_width() {
    const Player& player = ThePlayer();
    return player.session ? player.session->game().TextWindow.LineWidth : 0;
}

EMSCRIPTEN_KEEPALIVE int nv_command_length() {
    const int width = nv_line_width();
    // Before the window has its size the command line has no limit of its own; a page still
    // keeps it to a line of a wide screen.
    return width > 0 ? static_cast<int>(narravox::CommandLineLength(width)) : 255;
}

EMSCRIPTEN_KEEPALIVE const unsigned char* nv_font() {
    return kGlyphs[0].rows.data();
}

EMSCRIPTEN_KEEPALIVE const std::uint16_t* nv_code_page() {
    static const std::array<std::uint16_t, 256> table = [] {
        std::array<std::uint16_t, 256> result{};
        for (int byte = 0; byte < 256; ++byte) {
            const char32_t character = narravox::Cp1251ToUnicode(static_cast<unsigned char>(byte));
            // The one byte with no character of its own has none here either.
            if (narravox::UnicodeToCp1251(character) == static_cast<unsigned char>(byte)) {
                result[byte] = static_cast<std::uint16_t>(character);
            }
        }
        return result;
    }();
    return table.data();
}

EMSCRIPTEN_KEEPALIVE const int* nv_emblem(int width, int height) {
    // The emblem laid out on a console of width by height pixels, as the window lays it out on
    // the screen: [unit, x0, y0, circle a0, b0, a1, b1, run count, then each run's point count
    // and points]. A point (a, b) lies at (x0 + a * unit, y0 + b * unit).
    static std::vector<int> emblem;
    const narravox::EmblemLayout layout = narravox::LayOutEmblem(width, height);
    emblem = {layout.unit, layout.x0, layout.y0};
    for (const auto& point : narravox::kEmblemCircle) {
        emblem.push_back(point.a);
        emblem.push_back(point.b);
    }
    emblem.push_back(static_cast<int>(narravox::kEmblemLines.size()));
    for (const auto& run : narravox::kEmblemLines) {
        emblem.push_back(static_cast<int>(run.size()));
        for (const auto& point : run) {
            emblem.push_back(point.a);
            emblem.push_back(point.b);
        }
    }
    return emblem.data();
}

EMSCRIPTEN_KEEPALIVE int nv_answer_for_key(int cp1251_byte) {
    const auto answer = narravox::AnswerForKey(static_cast<char>(cp1251_byte));
    if (!answer) {
        return 0;
    }
    return *answer == narravox::Button::kYes ? 1 : 2;
}

EMSCRIPTEN_KEEPALIVE void nv_report_io_error(int code) {
    Player& player = ThePlayer();
    if (player.session) {
        player.session->ReportIoError(code);
    }
}

}  // extern "C"
