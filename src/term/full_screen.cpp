// SPDX-License-Identifier: MIT
#include "full_screen.h"

#include <curses.h>
#include <langinfo.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <ostream>
#include <vector>

#include "command_history.h"
#include "cp1251.h"
#include "emblem.h"
#include "escape_keys.h"
#include "frontend_rules.h"
#include "host.h"
#include "io_error.h"
#include "line_editor.h"
#include "session.h"
#include "transcript.h"

namespace narravox::term {
namespace {

// Set by the handler of SIGINT, SIGHUP and SIGTERM; the key loop looks at it between keys.
volatile std::sig_atomic_t received_signal = 0;

extern "C" void NoteSignal(int signal_number) {
    received_signal = signal_number;
}

constexpr int kSignals[] = {SIGINT, SIGHUP, SIGTERM};

// How long a key read waits before looking at the signal flag again.
constexpr int kKeyPollMilliseconds = 150;
// Esc must answer a box at once, not after the usual second of waiting for an escape sequence.
// The same wait applies to each further character of a sequence that ncurses did not know.
constexpr int kEscapeDelayMilliseconds = 25;
// File names are not limited by the text window, only by reason.
constexpr std::size_t kMaxFileNameLength = 1024;
constexpr int kMaxCandidatesShown = 6;

constexpr wint_t kEscape = 27;

// The caption of the box that asks for a save's name, and of the question after it.
constexpr const char* kSaveCaption = "Сохранить игру";

// Thrown out of any wait for the player when a signal asks the program to end; it passes the
// engine (which catches only input/output errors) and ends the key loop.
struct Interrupted {
    int signal_number;
};

// Text for ncurses, whose wide characters are UTF-32 on this system.
std::wstring ToWide(std::u32string_view text) {
    return std::wstring(text.begin(), text.end());
}

// Game or file-system text for the screen. Control characters would move the terminal's
// cursor, so they are drawn as `control` instead; a box's line feeds may be kept to break it.
std::wstring ScreenText(std::u32string_view text, wchar_t control, bool keep_line_feeds = false) {
    std::wstring wide = ToWide(text);
    for (wchar_t& c : wide) {
        if (c < 0x20 && !(keep_line_feeds && c == L'\n')) {
            c = control;
        }
    }
    return wide;
}

std::wstring Cp1251ToWide(std::string_view text) {
    return ScreenText(Cp1251ToUtf32(text), L' ');
}

// A file name is drawn with '?' for what is no character, as the other tools show it.
std::wstring FileNameToWide(std::string_view utf8) {
    return ScreenText(Utf8ToUtf32(utf8, U'?'), L'?');
}

bool IsKey(wint_t key, std::initializer_list<wint_t> keys) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// A key as ncurses delivers it: a character, or a function key code.
struct Key {
    bool function = false;
    wint_t code = 0;

    bool Is(wint_t character) const { return !function && code == character; }
    bool IsFunction(int key_code) const {
        return function && code == static_cast<wint_t>(key_code);
    }
    bool IsEnter() const { return Is(L'\n') || Is(L'\r') || IsFunction(KEY_ENTER); }
    bool IsBackspace() const { return IsFunction(KEY_BACKSPACE) || Is(127) || Is(8); }
    // Shift, Ctrl and both together move a function key by 12, 24 and 36 in the terminal
    // descriptions; the keys act the same with them held down.
    bool IsF(int number) const {
        return function && IsKey(code, {static_cast<wint_t>(KEY_F(number)),
                                        static_cast<wint_t>(KEY_F(number + 12)),
                                        static_cast<wint_t>(KEY_F(number + 24)),
                                        static_cast<wint_t>(KEY_F(number + 36))});
    }
    bool IsPrintable() const { return !function && code >= 0x20 && code != 0x7F; }
};

// Left, Right, Home, End, Backspace and Delete for both editable lines. False when the key is
// not one of them.
bool ApplyEditingKey(const Key& key, LineEditor& editor) {
    if (key.IsFunction(KEY_LEFT)) {
        editor.Left();
    } else if (key.IsFunction(KEY_RIGHT)) {
        editor.Right();
    } else if (key.IsFunction(KEY_HOME) || key.Is(1)) {
        editor.Home();
    } else if (key.IsFunction(KEY_END) || key.Is(5)) {
        editor.End();
    } else if (key.IsBackspace()) {
        editor.Backspace();
    } else if (key.IsFunction(KEY_DC)) {
        editor.Delete();
    } else {
        return false;
    }
    return true;
}

// The ncurses key code of a key recognised from an escape sequence.
int CursesKeyCode(EscapeKey key) {
    switch (key) {
        case EscapeKey::kUp:
            return KEY_UP;
        case EscapeKey::kDown:
            return KEY_DOWN;
        case EscapeKey::kLeft:
            return KEY_LEFT;
        case EscapeKey::kRight:
            return KEY_RIGHT;
        case EscapeKey::kHome:
            return KEY_HOME;
        case EscapeKey::kEnd:
            return KEY_END;
        case EscapeKey::kInsert:
            return KEY_IC;
        case EscapeKey::kDelete:
            return KEY_DC;
        case EscapeKey::kPageUp:
            return KEY_PPAGE;
        case EscapeKey::kPageDown:
            return KEY_NPAGE;
        case EscapeKey::kF1:
        case EscapeKey::kF2:
        case EscapeKey::kF3:
        case EscapeKey::kF4:
        case EscapeKey::kF5:
        case EscapeKey::kF6:
        case EscapeKey::kF7:
        case EscapeKey::kF8:
        case EscapeKey::kF9:
        case EscapeKey::kF10:
        case EscapeKey::kF11:
        case EscapeKey::kF12:
            return KEY_F(1 + static_cast<int>(key) - static_cast<int>(EscapeKey::kF1));
    }
    return 0;
}

// The key codes that ncurses gives to modified editing keys, each with the plain key it
// stands for. Terminal descriptions name Ctrl+Home and the like with extended capabilities
// (kHOM5 is Ctrl+Home in xterm's), for which ncurses makes up codes of its own; the keys act
// the same with a modifier held down.
std::vector<std::pair<int, int>> ModifiedKeyCodes() {
    struct Base {
        const char* name;
        int key;
    };
    static constexpr Base kBases[] = {
        {"kUP", KEY_UP},     {"kDN", KEY_DOWN},   {"kLFT", KEY_LEFT}, {"kRIT", KEY_RIGHT},
        {"kHOM", KEY_HOME},  {"kEND", KEY_END},   {"kIC", KEY_IC},    {"kDC", KEY_DC},
        {"kPRV", KEY_PPAGE}, {"kNXT", KEY_NPAGE},
    };
    // Shift with these keys has standard capabilities of its own.
    std::vector<std::pair<int, int>> codes = {
        {KEY_SR, KEY_UP},        {KEY_SF, KEY_DOWN},    {KEY_SLEFT, KEY_LEFT},
        {KEY_SRIGHT, KEY_RIGHT}, {KEY_SHOME, KEY_HOME}, {KEY_SEND, KEY_END},
        {KEY_SIC, KEY_IC},       {KEY_SDC, KEY_DC},     {KEY_SPREVIOUS, KEY_PPAGE},
        {KEY_SNEXT, KEY_NPAGE},
    };
    for (const Base& base : kBases) {
        for (int modifier = 2; modifier <= 8; ++modifier) {
            const std::string name = base.name + std::to_string(modifier);
            const char* sequence = tigetstr(name.c_str());
            if (sequence == nullptr || sequence == reinterpret_cast<char*>(-1)) {
                continue;
            }
            if (const int code = key_defined(sequence); code > 0) {
                codes.emplace_back(code, base.key);
            }
        }
    }
    return codes;
}

// The curses screen, set up for the lifetime of the object and restored when it goes, however
// the program leaves (a return, an exception, a signal turned into an exception).
class CursesScreen {
  public:
    CursesScreen() = default;
    CursesScreen(const CursesScreen&) = delete;
    CursesScreen& operator=(const CursesScreen&) = delete;

    bool Open() {
        std::setlocale(LC_ALL, "");
        // The screen is written in Unicode; a terminal set up for another character set is
        // rare enough today that falling back to UTF-8 serves more players than refusing.
        if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) {
            std::setlocale(LC_CTYPE, "C.UTF-8");
        }
        screen_ = newterm(nullptr, stdout, stdin);
        if (screen_ == nullptr) {
            return false;
        }
        struct sigaction action {};
        action.sa_handler = NoteSignal;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: a blocked read returns, so that the signal is seen at once.
        action.sa_flags = 0;
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            sigaction(kSignals[i], &action, &saved_actions_[i]);
        }
        cbreak();
        noecho();
        nonl();
        keypad(stdscr, TRUE);
        set_escdelay(kEscapeDelayMilliseconds);
        wtimeout(stdscr, kKeyPollMilliseconds);
        return true;
    }

    ~CursesScreen() {
        if (screen_ == nullptr) {
            return;
        }
        endwin();
        delscreen(screen_);
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            sigaction(kSignals[i], &saved_actions_[i], nullptr);
        }
    }

  private:
    SCREEN* screen_ = nullptr;
    struct sigaction saved_actions_[std::size(kSignals)]{};
};

class FullScreen : public Host {
  public:
    FullScreen(Transcript& transcript, const GameArea& area)
        : transcript_(transcript), area_(area), modified_keys_(ModifiedKeyCodes()) {}

    // Why this terminal cannot hold the game area asked for, or nothing when it can.
    std::optional<std::string> SizeProblem();

    int Run(Session& session);

    Button ShowBox(const Box& box) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;
    void SetTitle(std::string_view text) override;
    void RepaintTextWindow() override;
    void WaitForNextSecond() override;

  private:
    Key ReadKey();
    std::optional<Key> ReadAfterEscape();
    wint_t PlainKeyCode(wint_t code) const;
    void CheckSignal() const;
    void Layout();
    int TextRows() const { return std::max(rows_ - 2, 0); }
    // The terminal has been made smaller than the game area asked for.
    bool TooSmall() const { return terminal_rows_ < rows_ || terminal_columns_ < columns_; }

    void DrawAll();
    void DrawTooSmall();
    void DrawTitle();
    void DrawTextWindow();
    void DrawCommandLine();
    void DrawEmblem();
    // Draws a framed box centred over the text window; returns the screen row and column of
    // its first text cell.
    std::pair<int, int> DrawFrame(const std::wstring& caption, std::vector<std::wstring> lines,
                                  int inner_width);
    void DrawBox(const Box& box);

    std::optional<std::string> AskFileName(FileChoice choice, LineEditor& name);

    Transcript& transcript_;
    GameArea area_;
    std::vector<std::pair<int, int>> modified_keys_;
    Session* session_ = nullptr;
    std::string title_;
    LineEditor command_{0};
    narravox::CommandHistory history_;
    bool emblem_shown_ = false;
    // The game area: the terminal, or the size asked for at its top left.
    int rows_ = 0;
    int columns_ = 0;
    int terminal_rows_ = 0;
    int terminal_columns_ = 0;
};

void FullScreen::CheckSignal() const {
    if (received_signal != 0) {
        throw Interrupted{received_signal};
    }
}

wint_t FullScreen::PlainKeyCode(wint_t code) const {
    for (const auto& [modified, plain] : modified_keys_) {
        if (code == static_cast<wint_t>(modified)) {
            return static_cast<wint_t>(plain);
        }
    }
    return code;
}

Key FullScreen::ReadKey() {
    for (;;) {
        CheckSignal();
        wint_t code = 0;
        const int kind = wget_wch(stdscr, &code);
        if (kind == ERR) {
            continue;
        }
        Key key{kind == KEY_CODE_YES, code};
        if (key.function) {
            key.code = PlainKeyCode(key.code);
        } else if (key.Is(kEscape)) {
            const std::optional<Key> escaped = ReadAfterEscape();
            if (!escaped) {
                continue;
            }
            key = *escaped;
        }
        if (key.IsFunction(KEY_RESIZE)) {
            Layout();
        }
        return key;
    }
}

// ncurses hands over ESC alone when the characters after it are no sequence that the
// terminal's description knows; they follow at once as typed characters. They are read here
// and decoded, so that they never reach the line. Esc itself is what arrives with nothing
// after it in time.
std::optional<Key> FullScreen::ReadAfterEscape() {
    std::u32string after;
    std::optional<Key> known;
    wtimeout(stdscr, kEscapeDelayMilliseconds);
    for (;;) {
        wint_t code = 0;
        const int kind = wget_wch(stdscr, &code);
        if (kind == ERR) {
            break;
        }
        if (kind == KEY_CODE_YES) {
            // A key ncurses did recognise, after ESC: Alt held with it, or Esc pressed just
            // before it. The key counts; any half-read sequence before it is dropped.
            known = Key{true, PlainKeyCode(code)};
            break;
        }
        after += static_cast<char32_t>(code);
        if (IsCompleteEscapeSequence(after)) {
            break;
        }
    }
    wtimeout(stdscr, kKeyPollMilliseconds);
    if (known) {
        return known;
    }
    if (after.empty()) {
        return Key{false, kEscape};
    }
    if (const auto key = DecodeEscapeSequence(after)) {
        return Key{true, static_cast<wint_t>(CursesKeyCode(*key))};
    }
    return std::nullopt;
}

std::optional<std::string> FullScreen::SizeProblem() {
    Layout();
    if (!TooSmall()) {
        return std::nullopt;
    }
    std::string asked;
    if (area_.columns) {
        asked += "--columns " + std::to_string(*area_.columns);
    }
    if (area_.lines) {
        asked += std::string(asked.empty() ? "" : " ") + "--lines " + std::to_string(*area_.lines);
    }
    return asked + " asks for a game of " + std::to_string(columns_) + " columns and " +
           std::to_string(rows_) +
           " lines (the text window, its title and the command line), but this terminal has " +
           std::to_string(terminal_columns_) + " columns and " + std::to_string(terminal_rows_) +
           " lines; make it larger or ask for less";
}

void FullScreen::Layout() {
    getmaxyx(stdscr, terminal_rows_, terminal_columns_);
    rows_ = area_.lines ? *area_.lines + 2 : terminal_rows_;
    columns_ = area_.columns ? *area_.columns : terminal_columns_;
    // The game's text window follows the terminal, unless its size was asked for: what is
    // printed from now on wraps at the new width, and the number of kept lines follows the new
    // height.
    if (session_ != nullptr) {
        auto& window = session_->game().TextWindow;
        window.VisibleLines = std::max(rows_ - 2, 1);
        window.LineWidth = std::max(columns_, 1);
        command_.SetMaxLength(CommandLineLength(window.LineWidth));
    }
}

void FullScreen::DrawTitle() {
    attron(A_REVERSE);
    mvhline(0, 0, ' ', columns_);
    mvaddnwstr(0, 0, Cp1251ToWide(title_).c_str(), columns_);
    attroff(A_REVERSE);
}

void FullScreen::DrawTextWindow() {
    const auto& lines = session_->game().TextWindow.CompleteLines();
    const int text_rows = TextRows();
    const int shown = std::min<int>(text_rows, static_cast<int>(lines.size()));
    // Completed lines are shown bottom-aligned, like the window's label after its fill; the
    // unfinished bottom line stays below the last row until its line feed comes, as it does on
    // the window.
    const int blank_rows = text_rows - shown;
    const std::size_t first = lines.size() - static_cast<std::size_t>(shown);
    for (int row = 0; row < text_rows; ++row) {
        move(1 + row, 0);
        clrtoeol();
        if (row >= blank_rows) {
            const auto& line = lines[first + static_cast<std::size_t>(row - blank_rows)];
            addnwstr(Cp1251ToWide(line).c_str(), columns_);
        }
    }
}

void FullScreen::DrawCommandLine() {
    if (rows_ < 1) {
        return;
    }
    const int row = rows_ - 1;
    move(row, 0);
    clrtoeol();
    addnwstr(L">", columns_);
    // A line wider than the screen (after the terminal was narrowed) scrolls to keep the caret
    // in sight.
    const int room = std::max(columns_ - 2, 1);
    const int caret = static_cast<int>(command_.caret());
    const int offset = std::max(0, caret - room);
    const std::wstring text = ToWide(command_.text());
    if (offset < static_cast<int>(text.size())) {
        mvaddnwstr(row, 1, text.c_str() + offset, columns_ - 1);
    }
    move(row, std::min(1 + caret - offset, std::max(columns_ - 1, 0)));
}

void FullScreen::DrawTooSmall() {
    const std::wstring notice = L"Терминал меньше игры: нужно " + std::to_wstring(columns_) + L"×" +
                                std::to_wstring(rows_) + L".";
    mvaddnwstr(0, 0, notice.c_str(), terminal_columns_);
    curs_set(0);
}

void FullScreen::DrawAll() {
    erase();
    // A terminal made smaller than the game area asked for shows only that, until it is made
    // large enough again; the game waits meanwhile.
    if (TooSmall()) {
        DrawTooSmall();
        return;
    }
    DrawTitle();
    if (session_ != nullptr) {
        DrawTextWindow();
    }
    if (emblem_shown_) {
        DrawEmblem();
    }
    DrawCommandLine();
}

void FullScreen::DrawEmblem() {
    const EmblemPicture picture = RasterizeEmblem(rows_, columns_);
    for (int row = 0; row < picture.rows; ++row) {
        for (int column = 0; column < picture.columns; ++column) {
            if (const auto dots = picture.At(row, column)) {
                const wchar_t cell[2] = {static_cast<wchar_t>(BrailleCharacter(dots)), 0};
                mvaddnwstr(row, column, cell, 1);
            }
        }
    }
}

std::pair<int, int> FullScreen::DrawFrame(const std::wstring& caption,
                                          std::vector<std::wstring> lines, int inner_width) {
    const int text_rows = TextRows();
    const int max_inner_height = std::max(text_rows - 2, 1);
    if (static_cast<int>(lines.size()) > max_inner_height) {
        lines.resize(static_cast<std::size_t>(max_inner_height));
    }
    const int height = static_cast<int>(lines.size()) + 2;
    const int width = inner_width + 4;
    const int top = 1 + std::max((text_rows - height) / 2, 0);
    const int left = std::max((columns_ - width) / 2, 0);
    for (int row = 0; row < height; ++row) {
        mvhline(top + row, left, ' ', width);
    }
    mvhline(top, left + 1, ACS_HLINE, width - 2);
    mvhline(top + height - 1, left + 1, ACS_HLINE, width - 2);
    mvvline(top + 1, left, ACS_VLINE, height - 2);
    mvvline(top + 1, left + width - 1, ACS_VLINE, height - 2);
    mvaddch(top, left, ACS_ULCORNER);
    mvaddch(top, left + width - 1, ACS_URCORNER);
    mvaddch(top + height - 1, left, ACS_LLCORNER);
    mvaddch(top + height - 1, left + width - 1, ACS_LRCORNER);
    const std::wstring framed_caption = L" " + caption + L" ";
    const int caption_width = std::min(static_cast<int>(framed_caption.size()), width - 2);
    attron(A_BOLD);
    mvaddnwstr(top, left + (width - caption_width) / 2, framed_caption.c_str(), caption_width);
    attroff(A_BOLD);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        mvaddnwstr(top + 1 + static_cast<int>(i), left + 2, lines[i].c_str(), inner_width);
    }
    return {top + 1, left + 2};
}

// Splits a box text at its line feeds and breaks lines longer than `width` characters.
std::vector<std::wstring> BreakLines(const std::wstring& text, int width) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(L'\n', start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? end : end - start);
        // Long lines break at their last space that fits, or inside a word that has none.
        while (static_cast<int>(line.size()) > width) {
            const std::size_t space = line.rfind(L' ', static_cast<std::size_t>(width));
            const std::size_t cut =
                space == std::wstring::npos || space == 0 ? static_cast<std::size_t>(width) : space;
            lines.push_back(line.substr(0, cut));
            line.erase(0, cut + (cut == space ? 1 : 0));
        }
        lines.push_back(line);
        if (end == std::wstring::npos) {
            return lines;
        }
        start = end + 1;
    }
}

void FullScreen::DrawBox(const Box& box) {
    const int max_inner = std::max(columns_ - 6, 1);
    std::vector<std::wstring> lines;
    // The text window's own texts arrive with the code page's line feeds; each becomes a line.
    lines = BreakLines(ScreenText(Cp1251ToUtf32(box.text), L' ', true), max_inner);
    // On a very low terminal the text gives way, so that the buttons stay in sight.
    lines.resize(std::min(lines.size(), static_cast<std::size_t>(std::max(TextRows() - 4, 1))));
    lines.emplace_back();
    // The keys are named beside the buttons when there is room for them.
    const std::wstring long_buttons = L"[ Да (Enter, д) ]  [ Нет (Esc, н) ]";
    lines.emplace_back(box.buttons == BoxButtons::kOk                       ? L"[ OK ]"
                       : static_cast<int>(long_buttons.size()) <= max_inner ? long_buttons
                                                                            : L"[ Да ]  [ Нет ]");
    int inner = static_cast<int>(Cp1251ToWide(box.caption).size()) + 2;
    for (const auto& line : lines) {
        inner = std::max(inner, static_cast<int>(line.size()));
    }
    inner = std::min(inner, max_inner);
    // The buttons are centred under the text.
    auto& buttons = lines.back();
    buttons.insert(
        0, static_cast<std::size_t>(std::max(inner - static_cast<int>(buttons.size()), 0) / 2),
        L' ');
    if (box.icon == BoxIcon::kError) {
        attron(A_BOLD);
    }
    DrawFrame(Cp1251ToWide(box.caption), lines, inner);
    attroff(A_BOLD);
    curs_set(0);
}

Button FullScreen::ShowBox(const Box& box) {
    for (;;) {
        DrawAll();
        if (!TooSmall()) {
            DrawBox(box);
        }
        refresh();
        const Key key = ReadKey();
        if (key.function && !key.IsEnter()) {
            continue;
        }
        // Enter is the one function key left here, and it types no letter.
        std::optional<Button> letter;
        if (const auto byte = UnicodeToCp1251(static_cast<char32_t>(key.code));
            byte && !key.function) {
            letter = AnswerForKey(static_cast<char>(*byte));
        }
        const bool yes = key.IsEnter() || (letter && *letter == Button::kYes);
        const bool no = key.Is(kEscape) || (letter && *letter == Button::kNo);
        if (yes || (box.buttons == BoxButtons::kOk && (no || key.Is(L' ')))) {
            curs_set(1);
            return box.buttons == BoxButtons::kOk ? Button::kOk : Button::kYes;
        }
        if (no) {
            curs_set(1);
            return Button::kNo;
        }
    }
}

std::optional<std::string> FullScreen::AskFileName(FileChoice choice, LineEditor& name) {
    const std::wstring caption = ToWide(Utf8ToUtf32(
        choice == FileChoice::kSave ? std::string_view(kSaveCaption) : "Загрузить игру"));
    std::vector<std::string> candidates;
    for (;;) {
        const int inner = std::clamp(columns_ - 6, 1, 60);
        std::vector<std::wstring> lines =
            BreakLines(L"Имя файла (Tab — дополнить, Enter — готово, Esc — отмена):", inner);
        lines.emplace_back();
        const int field_line = static_cast<int>(lines.size()) - 1;
        for (int i = 0; i < static_cast<int>(candidates.size()) && i < kMaxCandidatesShown; ++i) {
            lines.push_back(L"  " + FileNameToWide(candidates[static_cast<std::size_t>(i)]));
        }
        if (static_cast<int>(candidates.size()) > kMaxCandidatesShown) {
            lines.push_back(L"  …");
        }
        DrawAll();
        if (!TooSmall()) {
            const auto [top, left] = DrawFrame(caption, lines, inner);
            // The field scrolls so that the caret stays inside the box.
            const int caret = static_cast<int>(name.caret());
            const int offset = std::max(0, caret - (inner - 1));
            const std::wstring text = ToWide(name.text());
            attron(A_UNDERLINE);
            mvhline(top + field_line, left, ' ', inner);
            if (offset < static_cast<int>(text.size())) {
                mvaddnwstr(top + field_line, left, text.c_str() + offset, inner);
            }
            attroff(A_UNDERLINE);
            move(top + field_line, left + caret - offset);
        }
        refresh();

        const Key key = ReadKey();
        if (key.IsEnter()) {
            if (name.text().empty()) {
                return std::nullopt;
            }
            return Utf32ToUtf8(name.text());
        }
        if (key.Is(kEscape)) {
            return std::nullopt;
        }
        if (key.Is(L'\t')) {
            const Completion completion = CompleteFromFolder(Utf32ToUtf8(name.text()));
            name.SetText(Utf8ToUtf32(completion.text).substr(0, kMaxFileNameLength));
            candidates = completion.candidates.size() > 1 ? completion.candidates
                                                          : std::vector<std::string>{};
            if (completion.candidates.empty()) {
                beep();
            }
            continue;
        }
        if (ApplyEditingKey(key, name)) {
            continue;
        }
        if (key.IsPrintable() && !name.Insert(static_cast<char32_t>(key.code))) {
            beep();
        }
    }
}

std::optional<std::string> FullScreen::ChooseFile(FileChoice choice) {
    // The name typed stays in the box when the player goes back to it after a No.
    LineEditor name(kMaxFileNameLength);
    return ChooseSavedGameFile(
        choice, [&] { return AskFileName(choice, name); },
        [&](const std::string& file_name) {
            const Box question{Utf8ToCp1251Lossy(kSaveCaption),
                               Utf8ToCp1251Lossy(OverwriteQuestion(file_name, "\n")),
                               BoxButtons::kYesNo, BoxIcon::kWarning};
            return ShowBox(question) == Button::kYes;
        });
}

void FullScreen::SetTitle(std::string_view text) {
    title_ = std::string(text);
    if (!TooSmall()) {
        DrawTitle();
    }
}

void FullScreen::RepaintTextWindow() {
    if (!TooSmall()) {
        DrawTextWindow();
    }
    refresh();
}

void FullScreen::WaitForNextSecond() {
    // Keys typed meanwhile wait in the terminal's input queue and are read after the text.
    SleepUntilNextSecond();
    CheckSignal();
}

int FullScreen::Run(Session& session) {
    session_ = &session;
    Layout();
    DrawAll();
    refresh();
    const StartResult started = session.Start(std::max(rows_ - 2, 1), std::max(columns_, 1));
    if (started != StartResult::kStarted) {
        return 1;
    }
    Layout();
    for (;;) {
        DrawAll();
        curs_set(1);
        refresh();
        const Key key = ReadKey();
        if (key.IsEnter()) {
            const std::string typed = CutToCommandLine(Utf32ToCp1251Lossy(command_.text()),
                                                       session.game().TextWindow.LineWidth);
            history_.Add(typed);
            command_.Clear();
            // The line is seen empty while the command runs.
            if (!TooSmall()) {
                DrawCommandLine();
            }
            refresh();
            emblem_shown_ = false;
            const EnterResult result = session.PressEnter(typed);
            emblem_shown_ = result.DrawEmblem;
            if (result.CloseRequested) {
                return 0;
            }
        } else if (key.IsF(1)) {
            session.PressF1();
        } else if (key.IsF(3)) {
            command_.SetText(Cp1251ToUtf32(session.PressF3()));
        } else if (key.IsFunction(KEY_UP)) {
            // At either end of the history the line stays as it is, caret and all.
            if (const auto shown = history_.Older(Utf32ToCp1251Lossy(command_.text()))) {
                command_.SetText(Cp1251ToUtf32(*shown));
            }
        } else if (key.IsFunction(KEY_DOWN)) {
            if (const auto shown = history_.Newer()) {
                command_.SetText(Cp1251ToUtf32(*shown));
            }
        } else if (ApplyEditingKey(key, command_)) {
        } else if (key.IsPrintable()) {
            // Only what the game's code page holds can be typed, as on the window.
            const auto byte = UnicodeToCp1251(static_cast<char32_t>(key.code));
            if (!byte || *byte < 0x20 || !command_.Insert(static_cast<char32_t>(key.code))) {
                beep();
            }
        }
    }
}

}  // namespace

std::optional<int> RunFullScreen(const std::string& program_path, const GameArea& area,
                                 std::ostream* transcript_file, Tracer* tracer) {
    Transcript transcript;
    if (transcript_file != nullptr) {
        transcript.Attach(*transcript_file);
    }
    int signal_number = 0;
    int status = 0;
    std::optional<std::string> size_problem;
    {
        CursesScreen screen;
        if (!screen.Open()) {
            return std::nullopt;
        }
        FullScreen front_end(transcript, area);
        size_problem = front_end.SizeProblem();
        if (!size_problem) {
            Session session(front_end, ProgramTitle(program_path));
            session.game().Trace = tracer;
            session.game().TextWindow.SetLineSink(
                [&transcript](std::string_view line) { transcript.WriteLine(line); });
            try {
                status = front_end.Run(session);
            } catch (const Interrupted& interrupted) {
                signal_number = interrupted.signal_number;
            }
            transcript.Finish(session.game().TextWindow.BottomLine());
        }
    }
    // Told once the terminal is restored, where the player can read it.
    if (size_problem) {
        std::cerr << std::filesystem::path(program_path).filename().string() << ": "
                  << *size_problem << "\n";
        return 1;
    }
    if (signal_number != 0) {
        // The terminal is restored; now end the way the signal asked, so that a shell or a
        // script sees the signal and not an ordinary exit.
        std::signal(signal_number, SIG_DFL);
        std::raise(signal_number);
    }
    return status;
}

}  // namespace narravox::term
