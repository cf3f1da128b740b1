// SPDX-License-Identifier: MIT
// Plays transcript cases: compiles <case>.nvx, types the lines of <case>.in into the engine the
// way `narravox-term --batch` does, and compares what the game printed with <case>.out. Typed
// lines, yes answers and file names follow the rules every front-end shares (frontend_rules.h).
//
//   transcript_runner [--bless] [--program PROGRAM] PATH...
//
// A PATH is a case's .nvx file or a folder searched for them. With --bless (or NARRAVOX_BLESS=1
// in the environment) the .out files are rewritten with what the game printed instead.
//
// With --program the cases are played by a program that has the batch mode of narravox-term
// (narravox-term itself, or another front-end's batch runner) instead of the engine in this
// process: PROGRAM --batch --columns C --lines L runs in a folder holding the compiled game with
// the .in file as its standard input, its standard output must be the transcript without the
// "! " lines, its standard error those lines, and its exit status 0.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "compiler.h"
#include "cp1251.h"
#include "data/file_format.h"
#include "frontend_rules.h"
#include "host.h"
#include "io_error.h"
#include "session.h"
#include "support/game_builder.h"

namespace narravox::testing {
namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

// Everything a batch run writes to standard error (boxes, notes about typed lines) enters the
// transcript at the moment it is written, each of its lines behind this mark.
constexpr std::string_view kErrorMark = "! ";

// Error boxes carry the program's name as their caption; the transcript shows the terminal's.
constexpr std::string_view kProgramName = "narravox-term";

Lines SplitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

struct WindowSize {
    int columns = 0;
    int lines = 0;
};

// The "# window: COLUMNSxLINES" line of the comment block at the top of a case.
std::optional<WindowSize> FindWindowSize(const Lines& source) {
    constexpr std::string_view kKey = "# window:";
    for (const std::string& line : source) {
        if (line.empty()) {
            continue;
        }
        if (line[0] != '#') {
            break;
        }
        if (!line.starts_with(kKey)) {
            continue;
        }
        std::istringstream value(line.substr(kKey.size()));
        WindowSize size;
        char times = 0;
        if (value >> size.columns >> times >> size.lines && times == 'x' && size.columns > 0 &&
            size.lines > 0) {
            return size;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// The lines of a .in file, handed out in order to whoever asks next: the command loop, a
// yes-or-no box or a file choice, as standard input is in a batch run.
class ScriptInput {
  public:
    explicit ScriptInput(Lines lines) : lines_(std::move(lines)) {}

    // False at the end of the script. A trailing CR (a file written on Windows) is dropped.
    bool Read(std::string& line) {
        if (next_ >= lines_.size()) {
            return false;
        }
        line = lines_[next_++];
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return true;
    }

    int line_number() const { return static_cast<int>(next_); }

  private:
    Lines lines_;
    std::size_t next_ = 0;
};

// The fake host of a transcript: it answers every question from the script and writes boxes
// into the transcript, as the batch mode writes them to standard error.
class ScriptHost : public Host {
  public:
    ScriptHost(ScriptInput& input, Lines& transcript) : input_(input), transcript_(transcript) {}

    Button ShowBox(const Box& box) override {
        WriteError("[" + Cp1251ToUtf8(box.caption) + "] " + Cp1251ToUtf8(box.text));
        if (box.buttons == BoxButtons::kOk) {
            return Button::kOk;
        }
        std::string answer;
        if (!input_.Read(answer)) {
            return Button::kNo;
        }
        // An answer holding a character the game's code page lacks is no yes.
        const auto converted = Utf8ToCp1251(answer);
        return converted && IsYesAnswer(*converted) ? Button::kYes : Button::kNo;
    }

    // A script replaces files without asking, so that a replayed game prints the same whatever
    // an earlier run left behind; loading and saving are therefore asked the same way.
    std::optional<std::string> ChooseFile(FileChoice) override {
        std::string name;
        if (!input_.Read(name) || name.empty()) {
            return std::nullopt;
        }
        return WithDefaultExtension(std::move(name));
    }

    // The title line is not part of a batch transcript: the location's text already names it.
    void SetTitle(std::string_view) override {}
    void RepaintTextWindow() override {}
    // Centred text is not paced in a script.
    void WaitForNextSecond() override {}

    void WriteError(const std::string& text) {
        for (const std::string& line : SplitLines(text)) {
            transcript_.push_back(std::string(kErrorMark) + line);
        }
    }

  private:
    ScriptInput& input_;
    Lines& transcript_;
};

// Enters a folder for the length of a case, as narravox-term enters the game folder, so that
// saved games are written beside the data files.
class WorkingFolder {
  public:
    explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~WorkingFolder() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

  private:
    fs::path previous_;
};

std::string ReadText(const fs::path& path) {
    return fs::exists(path) ? ReadFile(path) : std::string();
}

struct Played {
    Lines transcript;
    std::string error;  // why the case could not be played at all
};

// A case's game compiled into a folder of its own, with the size of its text window.
struct CompiledCase {
    TempFolder folder;
    WindowSize window_size;
};

// Compiles a case into `compiled`; returns why it cannot be played, in lines that end with a
// line feed, or nothing.
std::string CompileCase(const fs::path& source_path, const std::string& shown_path,
                        CompiledCase& compiled_case) {
    const std::string source = ReadText(source_path);
    const auto window_size = FindWindowSize(SplitLines(source));
    if (!window_size) {
        return shown_path + ":1: the comment at the top needs a line \"# window: COLUMNSxLINES\"\n";
    }
    compiled_case.window_size = *window_size;
    const ply::CompileResult compiled = ply::Compile(source);
    if (!compiled.ok) {
        std::string error;
        for (const ply::Finding& finding : compiled.findings) {
            error += ply::FormatFinding(shown_path, finding) + "\n";
        }
        return error;
    }
    WriteFile(compiled_case.folder.path() / kCommandsFileName, compiled.commands);
    WriteFile(compiled_case.folder.path() / kScenarioFileName, compiled.scenario);
    return {};
}

Played Play(const fs::path& source_path, const std::string& shown_path) {
    Played played;
    CompiledCase compiled;
    played.error = CompileCase(source_path, shown_path, compiled);
    if (!played.error.empty()) {
        return played;
    }
    ScriptInput input(SplitLines(ReadText(fs::path(source_path).replace_extension(".in"))));
    WorkingFolder entered(compiled.folder.path());

    Lines& transcript = played.transcript;
    ScriptHost host(input, transcript);
    Session session(host, ProgramTitle(kProgramName));
    auto& window = session.game().TextWindow;
    window.SetLineSink(
        [&transcript](std::string_view line) { transcript.push_back(Cp1251ToUtf8(line)); });
    if (session.Start(compiled.window_size.lines, compiled.window_size.columns) !=
        StartResult::kStarted) {
        return played;
    }
    std::string typed;
    while (input.Read(typed)) {
        const TypedLine line = ConvertTypedLine(typed, window.LineWidth);
        if (line.dropped > 0) {
            host.WriteError(std::string(kProgramName) + ": input line " +
                            std::to_string(input.line_number()) + ": " +
                            std::to_string(line.dropped) +
                            " character(s) dropped, the game cannot show them");
        }
        if (session.PressEnter(line.text).CloseRequested) {
            break;
        }
    }
    // What the game printed last without a line feed is part of the transcript too.
    if (!window.BottomLine().empty()) {
        transcript.push_back(Cp1251ToUtf8(window.BottomLine()));
    }
    return played;
}

// A path as one word of a shell command.
std::string ShellWord(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// What a program's batch run of a case wrote: standard output and standard error, whose lines
// are marked as they are in a transcript.
struct ProgramRun {
    Lines out;
    Lines err;
    int status = -1;
    std::string error;  // why the case could not be played at all, as CompileCase gives it
};

ProgramRun PlayThrough(const std::string& program, const fs::path& source_path,
                       const std::string& shown_path) {
    ProgramRun run;
    CompiledCase compiled;
    run.error = CompileCase(source_path, shown_path, compiled);
    if (!run.error.empty()) {
        return run;
    }
    const fs::path folder = compiled.folder.path();
    const fs::path in_path = fs::path(source_path).replace_extension(".in");
    const fs::path out_path = folder / "standard-output";
    const fs::path err_path = folder / "standard-error";
    const std::string command =
        "cd " + ShellWord(folder.string()) + " && " + ShellWord(program) + " --batch --columns " +
        std::to_string(compiled.window_size.columns) + " --lines " +
        std::to_string(compiled.window_size.lines) + " <" +
        (fs::exists(in_path) ? ShellWord(in_path.string()) : std::string("/dev/null")) + " >" +
        ShellWord(out_path.string()) + " 2>" + ShellWord(err_path.string());
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = SplitLines(ReadText(out_path));
    for (const std::string& line : SplitLines(ReadText(err_path))) {
        run.err.push_back(std::string(kErrorMark) + line);
    }
    return run;
}

std::string Quoted(const std::string& line) {
    return "«" + line + "»";
}

// The first line where the transcript differs from the expected one, as
// "case.out:N: expected «…», got «…»", or nothing when they agree.
std::optional<std::string> FirstDifference(const std::string& out_path, const Lines& expected,
                                           const Lines& actual) {
    const std::size_t count = std::max(expected.size(), actual.size());
    for (std::size_t i = 0; i < count; ++i) {
        const bool has_expected = i < expected.size();
        const bool has_actual = i < actual.size();
        if (has_expected && has_actual && expected[i] == actual[i]) {
            continue;
        }
        return out_path + ":" + std::to_string(i + 1) + ": expected " +
               (has_expected ? Quoted(expected[i]) : "the end of the transcript") + ", got " +
               (has_actual ? Quoted(actual[i]) : "the end of the transcript");
    }
    return std::nullopt;
}

std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

// Plays one case; returns false when it fails.
bool RunCase(const std::string& shown_path, bool bless) {
    const fs::path source_path = fs::absolute(shown_path);
    const Played played = Play(source_path, shown_path);
    if (!played.error.empty()) {
        std::cerr << played.error;
        return false;
    }
    const fs::path out_path = fs::path(source_path).replace_extension(".out");
    const std::string shown_out = fs::path(shown_path).replace_extension(".out").string();
    if (bless) {
        WriteFile(out_path, Joined(played.transcript));
        std::cout << "blessed " << shown_out << '\n';
        return true;
    }
    if (!fs::exists(out_path)) {
        std::cerr << shown_out << ":1: missing; run with --bless to write it, then read it\n";
        return false;
    }
    const auto difference =
        FirstDifference(shown_out, SplitLines(ReadFile(out_path)), played.transcript);
    if (difference) {
        std::cerr << *difference << '\n';
        return false;
    }
    return true;
}

// The expected lines that one of a program's two streams must hold, with their line numbers
// in the .out file.
struct StreamLines {
    Lines lines;
    std::vector<std::size_t> numbers;
};

StreamLines ExpectedStream(const Lines& expected, bool errors) {
    StreamLines stream;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].starts_with(kErrorMark) == errors) {
            stream.lines.push_back(expected[i]);
            stream.numbers.push_back(i + 1);
        }
    }
    return stream;
}

// The first line where a stream differs from its part of the expected transcript, named by its
// line in the .out file, or nothing.
std::optional<std::string> FirstStreamDifference(const std::string& out_path,
                                                 const std::string& stream_name,
                                                 const StreamLines& expected, const Lines& actual,
                                                 std::size_t out_line_count) {
    const std::size_t count = std::max(expected.lines.size(), actual.size());
    for (std::size_t i = 0; i < count; ++i) {
        const bool has_expected = i < expected.lines.size();
        const bool has_actual = i < actual.size();
        if (has_expected && has_actual && expected.lines[i] == actual[i]) {
            continue;
        }
        const std::size_t number = has_expected ? expected.numbers[i] : out_line_count + 1;
        return out_path + ":" + std::to_string(number) + ": expected " +
               (has_expected ? Quoted(expected.lines[i]) : "the end of the transcript") + ", got " +
               (has_actual ? Quoted(actual[i]) : "the end of the transcript") + " on " +
               stream_name;
    }
    return std::nullopt;
}

// Plays one case through a program; returns false when it fails.
bool RunCaseThrough(const std::string& program, const std::string& shown_path) {
    const fs::path source_path = fs::absolute(shown_path);
    const ProgramRun run = PlayThrough(program, source_path, shown_path);
    if (!run.error.empty()) {
        std::cerr << run.error;
        return false;
    }
    const fs::path out_path = fs::path(source_path).replace_extension(".out");
    const std::string shown_out = fs::path(shown_path).replace_extension(".out").string();
    if (!fs::exists(out_path)) {
        std::cerr << shown_out << ":1: missing; bless the case first, then read it\n";
        return false;
    }
    // Another program names its own boxes and notes: the transcript's names become its name.
    Lines expected = SplitLines(ReadFile(out_path));
    const std::string name = fs::path(program).filename().string();
    if (name != kProgramName) {
        const std::vector<std::pair<std::string, std::string>> renames = {
            {"[" + ProgramTitle(kProgramName) + "]", "[" + ProgramTitle(name) + "]"},
            {std::string(kProgramName) + ": ", name + ": "}};
        for (std::string& line : expected) {
            for (const auto& [from, to] : renames) {
                if (const auto at = line.find(from); at != std::string::npos) {
                    line.replace(at, from.size(), to);
                }
            }
        }
    }
    bool same = true;
    for (const bool errors : {false, true}) {
        const auto difference = FirstStreamDifference(
            shown_out, errors ? "standard error" : "standard output",
            ExpectedStream(expected, errors), errors ? run.err : run.out, expected.size());
        if (difference) {
            std::cerr << *difference << '\n';
            same = false;
        }
    }
    if (run.status != 0) {
        std::cerr << shown_path << ": " << program << " ended with status " << run.status << '\n';
        same = false;
    }
    return same;
}

std::vector<std::string> FindCases(const std::string& path) {
    std::vector<std::string> cases;
    if (!fs::is_directory(path)) {
        cases.push_back(path);
        return cases;
    }
    for (const auto& entry : fs::recursive_directory_iterator(path)) {
        if (entry.is_regular_file() && entry.path().extension() == ".nvx") {
            cases.push_back(entry.path().string());
        }
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

int Main(int argc, char** argv) {
    const char* bless_variable = std::getenv("NARRAVOX_BLESS");
    bool bless = bless_variable != nullptr && std::string_view(bless_variable) == "1";
    std::optional<std::string> program;
    std::vector<std::string> cases;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--bless") {
            bless = true;
        } else if (argument == "--program" && i + 1 < argc) {
            program = fs::absolute(argv[++i]).string();
        } else {
            for (std::string& found : FindCases(argv[i])) {
                cases.push_back(std::move(found));
            }
        }
    }
    if (cases.empty()) {
        std::cerr << "usage: transcript_runner [--bless] [--program PROGRAM] CASE.nvx|FOLDER...\n";
        return 2;
    }
    if (program && bless) {
        std::cerr << "transcript_runner: --bless writes what the engine prints, not a program\n";
        return 2;
    }
    int failed = 0;
    for (const std::string& path : cases) {
        try {
            const bool passed = program ? RunCaseThrough(*program, path) : RunCase(path, bless);
            failed += passed ? 0 : 1;
        } catch (const std::exception& error) {
            std::cerr << path << ": " << error.what() << '\n';
            ++failed;
        }
    }
    if (cases.size() > 1) {
        std::cerr << cases.size() << " cases, " << failed << " failed\n";
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace narravox::testing

int main(int argc, char** argv) {
    return narravox::testing::Main(argc, argv);
}
