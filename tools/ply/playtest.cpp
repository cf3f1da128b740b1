// SPDX-License-Identifier: MIT
#include "playtest.h"

#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <system_error>

#include "data/file_format.h"
#include "files.h"
#include "line_source.h"
#include "options.h"
#include "stream_mode.h"

namespace narravox::ply {
namespace {

namespace fs = std::filesystem;

// The size a walkthrough or an expected transcript may have; a file larger than this is no
// walkthrough.
constexpr std::uintmax_t kMaxTextSize = 64u << 20;

struct TestOptions {
    std::vector<std::string> inputs;
    // The window size options as narravox-term takes them, checked by its own parser.
    std::vector<std::string> window;
    bool bless = false;
    bool trace = false;
};

std::optional<TestOptions> ParseTestOptions(const std::vector<std::string>& args,
                                            std::ostream& err) {
    TestOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--columns" || arg == "--lines") {
            if (i + 1 >= args.size()) {
                err << "narravox-ply test: " << arg << " needs a value\n";
                return std::nullopt;
            }
            options.window.push_back(arg);
            options.window.push_back(args[++i]);
        } else if (arg.starts_with("--columns=") || arg.starts_with("--lines=")) {
            options.window.push_back(arg);
        } else if (arg == "--bless") {
            options.bless = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg.starts_with("-") && arg != "-") {
            err << "narravox-ply test: unknown option \"" << arg << "\"\n";
            return std::nullopt;
        } else {
            options.inputs.push_back(arg);
        }
    }
    if (options.inputs.size() < 2 || options.inputs.size() > 3) {
        err << "narravox-ply test: needs a game and a walkthrough, and at most an expected "
               "transcript\n";
        return std::nullopt;
    }
    if (options.bless && options.inputs.size() < 3) {
        err << "narravox-ply test: --bless needs the expected transcript's file name\n";
        return std::nullopt;
    }
    return options;
}

// The game named on the command line must be there before it is loaded, so that a missing
// file is told from a game with errors.
bool GameIsThere(const fs::path& game, std::ostream& err) {
    std::error_code code;
    if (fs::is_directory(game, code)) {
        for (const std::string_view name : {kCommandsFileName, kScenarioFileName}) {
            if (!fs::is_regular_file(game / name, code)) {
                err << (game / name).string() << ": cannot read: no such file\n";
                return false;
            }
        }
        return true;
    }
    if (!fs::is_regular_file(game, code)) {
        err << game.string() << ": cannot read: "
            << (fs::exists(game, code) ? "not a file" : "no such file or folder") << "\n";
        return false;
    }
    return true;
}

// A fresh folder under the system's temporary folder, removed with what it holds.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::error_code code;
        std::string pattern = (fs::temp_directory_path(code) / "narravox-ply-test-XXXXXX").string();
        if (!code && ::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TemporaryFolder() {
        if (!path_.empty()) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // Empty when the folder could not be made.
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// A command of the walkthrough, and where its echo stands in the transcript.
struct PlayedCommand {
    int walkthrough_line = 0;
    std::string text;
    // The number of transcript lines complete when it was read: the index of its echo.
    std::size_t transcript_line = 0;
};

// The walkthrough read line by line as batch mode reads standard input, noting each command.
class RecordingInput : public term::LineSource {
  public:
    RecordingInput(std::istream& in, const std::ostringstream& transcript)
        : input_(in), transcript_(transcript) {}

    bool Read(std::string& line, term::LinePurpose purpose) override {
        if (!input_.ReadLine(line)) {
            return false;
        }
        if (purpose == term::LinePurpose::kCommand) {
#ifdef __EMSCRIPTEN__
            // The web build's C++ library has no view of a string stream's text yet.
            const std::string copy = transcript_.str();
            const std::string_view written = copy;
#else
            const std::string_view written = transcript_.view();
#endif
            for (; scanned_ < written.size(); ++scanned_) {
                lines_ += written[scanned_] == '\n' ? 1 : 0;
            }
            commands_.push_back(PlayedCommand{input_.line_number(), line, lines_});
        }
        return true;
    }
    int line_number() const override { return input_.line_number(); }

    const std::vector<PlayedCommand>& commands() const { return commands_; }

  private:
    term::LineInput input_;
    const std::ostringstream& transcript_;
    std::size_t scanned_ = 0;
    std::size_t lines_ = 0;
    std::vector<PlayedCommand> commands_;
};

// A text cut into lines; `complete` tells whether the last one ends with a line feed.
struct Lines {
    std::vector<std::string_view> lines;
    bool complete = true;
};

Lines SplitLines(std::string_view text) {
    Lines result;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos) {
            result.lines.push_back(text);
            result.complete = false;
            break;
        }
        result.lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return result;
}

std::string Quoted(std::string_view line) {
    return "«" + std::string(line) + "»";
}

// Reports the first difference between the transcripts: its line, both texts and the command
// whose answer holds it.
void ReportDifference(const std::string& expected_text, const std::string& actual_text,
                      const TestOptions& options, const std::vector<PlayedCommand>& commands,
                      std::ostream& err) {
    const Lines expected = SplitLines(expected_text);
    const Lines actual = SplitLines(actual_text);
    std::size_t index = 0;
    while (index < expected.lines.size() && index < actual.lines.size() &&
           expected.lines[index] == actual.lines[index]) {
        ++index;
    }
    const std::string& expected_path = options.inputs[2];
    const auto shown = [&](const Lines& lines, const char* end) {
        return index < lines.lines.size() ? Quoted(lines.lines[index]) : std::string(end);
    };
    if (index == expected.lines.size() && index == actual.lines.size()) {
        // The lines agree; only the last one's line feed does not.
        index = expected.lines.empty() ? 0 : expected.lines.size() - 1;
        err << expected_path << ":" << index + 1 << ": the transcript differs: "
            << (expected.complete ? "the game's last line has no line feed, the expected one has"
                                  : "the expected last line has no line feed, the game's has")
            << "\n";
    } else {
        err << expected_path << ":" << index + 1 << ": the transcript differs\n"
            << "  expected: " << shown(expected, "(the expected transcript ends here)") << "\n"
            << "  actual:   " << shown(actual, "(the game's transcript ends here)") << "\n";
    }
    const PlayedCommand* command = nullptr;
    for (const PlayedCommand& played : commands) {
        if (played.transcript_line > index) {
            break;
        }
        command = &played;
    }
    if (command == nullptr) {
        err << "  before the first command of " << options.inputs[1] << "\n";
    } else {
        err << "  after " << options.inputs[1] << ":" << command->walkthrough_line << ": "
            << Quoted(command->text) << "\n";
    }
}

}  // namespace

int PlayTest(const std::vector<std::string>& args, const GameLoader& load, std::string_view usage,
             std::ostream& out, std::ostream& err) {
    const auto options = ParseTestOptions(args, err);
    if (!options) {
        err << usage;
        return 2;
    }
    std::vector<std::string> term_args = options->window;
    term_args.push_back("--batch");
    if (options->trace) {
        term_args.push_back("--trace");
    }
    const term::ParseResult parsed = term::ParseOptions(term_args);
    if (!parsed.options) {
        err << "narravox-ply test: " << parsed.error << "\n" << usage;
        return 2;
    }
    const std::string& game_path = options->inputs[0];
    const std::string& walkthrough_path = options->inputs[1];
    const bool compare = options->inputs.size() == 3 && !options->bless;
    if (!GameIsThere(game_path, err)) {
        return 2;
    }
    const auto walkthrough = ReadWhole(walkthrough_path, err, kMaxTextSize);
    if (!walkthrough) {
        return 2;
    }
    std::optional<std::string> expected;
    if (compare) {
        expected = ReadWhole(options->inputs[2], err, kMaxTextSize);
        if (!expected) {
            return 2;
        }
    }
    const auto game = load(game_path, err);
    if (!game) {
        return 1;
    }

    // The game is played from a folder of its own, which also takes the saved games named
    // without a folder: a walkthrough never leaves files in the author's folder.
    const TemporaryFolder folder;
    if (folder.path().empty()) {
        err << "narravox-ply test: cannot make a temporary folder\n";
        return 2;
    }
    if (!WriteWhole(folder.path() / kCommandsFileName, game->commands, err) ||
        !WriteWhole(folder.path() / kScenarioFileName, game->scenario, err)) {
        return 2;
    }
    std::istringstream walkthrough_stream(*walkthrough);
    std::ostringstream transcript;
    RecordingInput input(walkthrough_stream, transcript);
    const term::GamePlace place{folder.path().string(), folder.path().string()};
    const int status = term::RunStreamMode(term::Mode::kBatch, *parsed.options, "narravox-ply",
                                           input, transcript, err, nullptr, place);
    if (status != 0) {
        err << game_path << ": the game cannot be played\n";
        return 1;
    }
    const std::string actual = transcript.str();
    const std::size_t line_count = SplitLines(actual).lines.size();
    const std::size_t command_count = input.commands().size();
    if (options->inputs.size() < 3) {
        out << actual;
        return 0;
    }
    const std::string& expected_path = options->inputs[2];
    if (options->bless) {
        if (!ReplaceWhole(expected_path, actual, err)) {
            return 2;
        }
        out << "wrote " << expected_path << ": " << line_count << " line(s) from " << command_count
            << " command(s)\n";
        return 0;
    }
    if (*expected != actual) {
        ReportDifference(*expected, actual, *options, input.commands(), err);
        return 1;
    }
    out << "ok: " << walkthrough_path << ": " << command_count << " command(s), " << line_count
        << " line(s) as in " << expected_path << "\n";
    return 0;
}

}  // namespace narravox::ply
