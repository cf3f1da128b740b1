// SPDX-License-Identifier: MIT
#include "edited_input.h"

#include <histedit.h>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "escape_keys.h"
#include "line_editor.h"
#include "terminal_check.h"

namespace narravox::term {
namespace {

// Earlier lines kept for Up and Down.
constexpr int kHistorySize = 500;

// How long the rest of an escape sequence, or of a UTF-8 character, may take to arrive after
// its first byte; a terminal sends them in one go, and even a slow link in one packet.
constexpr int kSequenceWaitMilliseconds = 100;

constexpr char32_t kEscape = 0x1B;

enum class ReadStatus { kCharacter, kTimeout, kEnd };

// One byte of standard input, waiting at most `wait_ms` milliseconds (for ever when negative).
ReadStatus ReadByte(unsigned char& byte, int wait_ms) {
    for (;;) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, wait_ms);
        if (ready < 0 && errno == EINTR) {
            // A window resized or the program continued after Ctrl+Z: keep waiting.
            continue;
        }
        if (ready == 0) {
            return ReadStatus::kTimeout;
        }
        const ssize_t count = ready < 0 ? -1 : ::read(STDIN_FILENO, &byte, 1);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        return count == 1 ? ReadStatus::kCharacter : ReadStatus::kEnd;
    }
}

// One character of standard input, decoded from UTF-8; a broken one stands as U+FFFD, which
// the game drops with a word of warning like anything else it cannot show.
ReadStatus ReadCharacter(char32_t& character, int wait_ms) {
    unsigned char byte = 0;
    if (const ReadStatus status = ReadByte(byte, wait_ms); status != ReadStatus::kCharacter) {
        return status;
    }
    const int following = byte < 0x80    ? 0
                          : byte >= 0xF0 ? 3
                          : byte >= 0xE0 ? 2
                          : byte >= 0xC0 ? 1
                                         : -1;
    if (following < 0 || byte > 0xF4) {
        character = 0xFFFD;
        return ReadStatus::kCharacter;
    }
    character = following == 0 ? byte : byte & (0x3F >> following);
    for (int i = 0; i < following; ++i) {
        if (ReadByte(byte, kSequenceWaitMilliseconds) != ReadStatus::kCharacter ||
            (byte & 0xC0) != 0x80) {
            character = 0xFFFD;
            return ReadStatus::kCharacter;
        }
        character = (character << 6) | (byte & 0x3F);
    }
    return ReadStatus::kCharacter;
}

// What a recognised key becomes for libedit: one spelling of it, bound to its editing
// function below. Keys with nothing to do in a line (Insert, Page Up, function keys) are
// dropped.
std::u32string LineEditorSequence(EscapeKey key) {
    switch (key) {
        case EscapeKey::kUp:
            return U"\x1b[A";
        case EscapeKey::kDown:
            return U"\x1b[B";
        case EscapeKey::kRight:
            return U"\x1b[C";
        case EscapeKey::kLeft:
            return U"\x1b[D";
        case EscapeKey::kHome:
            return U"\x1b[H";
        case EscapeKey::kEnd:
            return U"\x1b[F";
        case EscapeKey::kDelete:
            return U"\x1b[3~";
        default:
            return U"";
    }
}

// The keys that reach libedit after ESC: the spellings above, and Alt with a letter or with
// Backspace, which edit by words in its Emacs keys.
struct BoundKey {
    const char* sequence;
    const char* function;
};
constexpr BoundKey kBoundKeys[] = {
    {"\x1b[A", "ed-prev-history"},      {"\x1b[B", "ed-next-history"}, {"\x1b[C", "ed-next-char"},
    {"\x1b[D", "ed-prev-char"},         {"\x1b[H", "ed-move-to-beg"},  {"\x1b[F", "ed-move-to-end"},
    {"\x1b[3~", "ed-delete-next-char"},
};

bool IsAltKey(std::u32string_view after_escape) {
    if (after_escape.size() != 1) {
        return false;
    }
    const char32_t c = after_escape[0];
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == 0x7F || c == 0x08;
}

// The game's own lines end with a line of their own (">" or the question), so the line being
// edited has no prompt.
char* EmptyPrompt(EditLine*) {
    static char empty[] = "";
    return empty;
}

class LineHistory {
  public:
    LineHistory() : history_(history_init()) {
        HistEvent event;
        history(history_, &event, H_SETSIZE, kHistorySize);
        // Like the full-screen command line, a line entered twice in a row is kept once.
        history(history_, &event, H_SETUNIQUE, 1);
    }
    ~LineHistory() { history_end(history_); }
    LineHistory(const LineHistory&) = delete;
    LineHistory& operator=(const LineHistory&) = delete;

    ::History* get() const { return history_; }
    void Add(const std::string& line) {
        HistEvent event;
        history(history_, &event, H_ENTER, line.c_str());
    }

  private:
    ::History* history_;
};

class EditedInput : public LineSource {
  public:
    explicit EditedInput(FILE* out)
        : out_(out), editor_(el_init("narravox-term", stdin, out, stderr)) {}
    ~EditedInput() override {
        if (editor_ != nullptr) {
            el_end(editor_);
        }
    }
    EditedInput(const EditedInput&) = delete;
    EditedInput& operator=(const EditedInput&) = delete;

    bool Start();
    bool Read(std::string& line, LinePurpose purpose) override;
    int line_number() const override { return line_number_; }

  private:
    static unsigned char CompleteFileName(EditLine* editor, int key);
    static int GetCharacter(EditLine* editor, wchar_t* character);
    unsigned char Complete();
    int NextCharacter(wchar_t& character);

    FILE* out_;
    EditLine* editor_;
    LineHistory commands_;
    LineHistory file_names_;
    LineHistory answers_;
    LinePurpose purpose_ = LinePurpose::kCommand;
    int line_number_ = 0;
    // What a recognised escape sequence became, still to be handed to libedit.
    std::u32string pending_;
};

bool EditedInput::Start() {
    if (editor_ == nullptr) {
        return false;
    }
    el_set(editor_, EL_CLIENTDATA, this);
    el_set(editor_, EL_EDITOR, "emacs");
    el_set(editor_, EL_PROMPT, EmptyPrompt);
    // libedit puts the terminal back on Ctrl+C, a hang-up or Ctrl+Z while it edits a line, so
    // the program ends by the signal (or stops) with a usable terminal.
    el_set(editor_, EL_SIGNAL, 1);
    // The wide form keeps the name and help text as given; the narrow one copies them into
    // wide strings that libedit never frees.
    el_wset(editor_, EL_ADDFN, L"narravox-complete", L"complete a file name",
            &EditedInput::CompleteFileName);
    el_set(editor_, EL_BIND, "^I", "narravox-complete", nullptr);
    // Keys are read here, so that the sequences terminals send for them are recognised
    // whatever the terminal description says (it says ESC O H for Home under TERM=xterm,
    // where tmux and PuTTY send ESC [ 1 ~), and no other sequence is typed into the line.
    el_set(editor_, EL_GETCFN, &EditedInput::GetCharacter);
    for (const BoundKey& key : kBoundKeys) {
        el_set(editor_, EL_BIND, key.sequence, key.function, nullptr);
    }
    return true;
}

int EditedInput::GetCharacter(EditLine* editor, wchar_t* character) {
    void* data = nullptr;
    el_get(editor, EL_CLIENTDATA, &data);
    return static_cast<EditedInput*>(data)->NextCharacter(*character);
}

int EditedInput::NextCharacter(wchar_t& character) {
    for (;;) {
        if (!pending_.empty()) {
            character = static_cast<wchar_t>(pending_.front());
            pending_.erase(0, 1);
            return 1;
        }
        char32_t read = 0;
        if (ReadCharacter(read, -1) != ReadStatus::kCharacter) {
            return 0;
        }
        if (read != kEscape) {
            character = static_cast<wchar_t>(read);
            return 1;
        }
        std::u32string after;
        while (!IsCompleteEscapeSequence(after) &&
               ReadCharacter(read, kSequenceWaitMilliseconds) == ReadStatus::kCharacter) {
            after += read;
        }
        // Esc alone means nothing in a line; a sequence for no key is dropped whole.
        if (IsAltKey(after)) {
            pending_ = kEscape + after;
        } else if (const auto key = DecodeEscapeSequence(after)) {
            pending_ = LineEditorSequence(*key);
        }
    }
}

unsigned char EditedInput::CompleteFileName(EditLine* editor, int) {
    void* data = nullptr;
    el_get(editor, EL_CLIENTDATA, &data);
    return static_cast<EditedInput*>(data)->Complete();
}

unsigned char EditedInput::Complete() {
    // A tab means nothing in a command or an answer, and the game could not show one.
    if (purpose_ != LinePurpose::kFileName) {
        return CC_REFRESH;
    }
    const LineInfo* line = el_line(editor_);
    const std::string typed(line->buffer, line->cursor);
    const Completion completion = CompleteFromFolder(typed);
    if (completion.candidates.empty()) {
        return CC_ERROR;
    }
    if (completion.text.size() > typed.size()) {
        el_insertstr(editor_, completion.text.c_str() + typed.size());
        return CC_REFRESH;
    }
    if (completion.candidates.size() == 1) {
        return CC_REFRESH;
    }
    // Several names fit and none can be added: they are listed one a line, and the line being
    // edited is shown again below them.
    std::fputc('\n', out_);
    for (const auto& candidate : completion.candidates) {
        std::fprintf(out_, "  %s\n", candidate.c_str());
    }
    std::fflush(out_);
    return CC_REDISPLAY;
}

bool EditedInput::Read(std::string& line, LinePurpose purpose) {
    purpose_ = purpose;
    // Up and Down walk through earlier lines of the same kind only: commands at the command
    // prompt, file names at the file prompts, and nothing at a yes-or-no question.
    const LineHistory& kept = purpose == LinePurpose::kCommand    ? commands_
                              : purpose == LinePurpose::kFileName ? file_names_
                                                                  : answers_;
    el_set(editor_, EL_HIST, history, kept.get());
    int count = 0;
    const char* read = el_gets(editor_, &count);
    if (read == nullptr || count <= 0) {
        return false;
    }
    line.assign(read, static_cast<std::size_t>(count));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    ++line_number_;
    if (purpose != LinePurpose::kAnswer && !line.empty()) {
        (purpose == LinePurpose::kCommand ? commands_ : file_names_).Add(line);
    }
    return true;
}

}  // namespace

std::unique_ptr<LineSource> OpenEditedInput() {
    // The line is echoed where the game is shown; with standard output in a file, the typing
    // would land in the file instead.
    if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDOUT_FILENO) != 1 ||
        !TerminalCanMoveCursor(STDOUT_FILENO)) {
        return nullptr;
    }
    // libedit reads characters in the locale's encoding, and the game takes UTF-8. A terminal
    // set up for another character set is rare enough today that UTF-8 serves more players.
    std::setlocale(LC_CTYPE, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
    auto input = std::make_unique<EditedInput>(stdout);
    if (!input->Start()) {
        return nullptr;
    }
    return input;
}

}  // namespace narravox::term
