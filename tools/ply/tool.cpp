// SPDX-License-Identifier: MIT
#include "tool.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "compiler.h"
#include "data/file_format.h"
#include "decompiler.h"
#include "files.h"
#include "lint.h"
#include "map.h"
#include "narravox_version.h"
#include "playtest.h"
#include "publish.h"
#include "reader.h"

namespace narravox::ply {
namespace {

namespace fs = std::filesystem;

// Data files cannot exceed 2 GiB; anything near this size is not a game, and reading it whole
// would only waste memory.
constexpr std::uintmax_t kMaxInputSize = 256u << 20;

constexpr const char* kUsage =
    "usage: narravox-ply build SOURCE -o DIR [--werror]\n"
    "       narravox-ply dump DIR | COMMANDS SCENARIO [-o FILE]\n"
    "       narravox-ply check DIR | COMMANDS SCENARIO [--werror]\n"
    "       narravox-ply publish SOURCE | DIR -o PAGE.html [--title TEXT] [--readme FILE]\n"
    "                    [--template FILE] [--werror]\n"
    "       narravox-ply map SOURCE | DIR [-o MAP.svg | MAP.dot]\n"
    "       narravox-ply test SOURCE | DIR WALKTHROUGH [EXPECTED] [--columns C] [--lines L]\n"
    "                    [--bless] [--trace]\n"
    "       narravox-ply --help | --version\n"
    "--werror: any warning counts as an error.\n"
    "--encoding cp1251: a SOURCE saved in code page 1251 rather than UTF-8 (build, publish,\n"
    "map, test).\n";

struct Options {
    std::vector<std::string> inputs;
    std::optional<std::string> output;
    std::optional<std::string> title;
    std::optional<std::string> readme;
    std::optional<std::string> player_template;
    // Warnings count as errors: nothing is written and the status is 1.
    bool werror = false;
    // How a source's bytes are read (--encoding), for every command that compiles one.
    SourceEncoding encoding = SourceEncoding::kUtf8;
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::ostream& err) {
    Options options;
    const bool publishing = args[0] == "publish";
    const bool linting = publishing || args[0] == "build" || args[0] == "check";
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::optional<std::string>* value = nullptr;
        if (linting && args[i] == "--werror") {
            options.werror = true;
            continue;
        }
        if (args[i] == "--encoding") {
            const auto encoding =
                i + 1 < args.size() ? ParseSourceEncoding(args[i + 1]) : std::nullopt;
            if (!encoding) {
                err << "narravox-ply: --encoding takes utf-8 or cp1251\n";
                return std::nullopt;
            }
            options.encoding = *encoding;
            ++i;
            continue;
        }
        if (args[i] == "-o") {
            value = &options.output;
        } else if (publishing && args[i] == "--title") {
            value = &options.title;
        } else if (publishing && args[i] == "--readme") {
            value = &options.readme;
        } else if (publishing && args[i] == "--template") {
            value = &options.player_template;
        }
        if (value != nullptr) {
            if (i + 1 >= args.size() || *value) {
                err << kUsage;
                return std::nullopt;
            }
            *value = args[++i];
        } else {
            options.inputs.push_back(args[i]);
        }
    }
    return options;
}

// A folder stands for the two files in it.
std::optional<std::pair<fs::path, fs::path>> DataFiles(const std::vector<std::string>& inputs,
                                                       std::ostream& err) {
    if (inputs.size() == 1) {
        const fs::path folder = inputs[0];
        return std::pair(folder / kCommandsFileName, folder / kScenarioFileName);
    }
    if (inputs.size() == 2) {
        return std::pair(fs::path(inputs[0]), fs::path(inputs[1]));
    }
    err << kUsage;
    return std::nullopt;
}

// Reads and compiles a source file, writing its findings; nothing when it cannot be read.
std::optional<CompileResult> CompileSourceFile(const fs::path& input, SourceEncoding encoding,
                                               std::ostream& err) {
    const auto source = ReadWhole(input, err, kMaxInputSize);
    if (!source) {
        return std::nullopt;
    }
    CompileResult result = Compile(*source, encoding);
    for (const Finding& finding : result.findings) {
        err << FormatFinding(input.string(), finding) << "\n";
    }
    return result;
}

int Build(const Options& options, std::ostream& err) {
    if (options.inputs.size() != 1 || !options.output) {
        err << kUsage;
        return 2;
    }
    const auto compiled = CompileSourceFile(options.inputs[0], options.encoding, err);
    if (!compiled) {
        return 2;
    }
    const CompileResult& result = *compiled;
    if (!result.findings.empty()) {
        const auto errors = std::count_if(
            result.findings.begin(), result.findings.end(),
            [](const Finding& finding) { return finding.severity == Severity::kError; });
        const auto warnings = static_cast<long>(result.findings.size()) - errors;
        err << errors << " error(s), " << warnings << " warning(s)\n";
    }
    if (!result.ok) {
        return 1;
    }
    if (options.werror && !result.findings.empty()) {
        err << "warnings count as errors (--werror): nothing written\n";
        return 1;
    }
    const fs::path folder = *options.output;
    std::error_code code;
    fs::create_directories(folder, code);
    if (code) {
        err << folder.string() << ": cannot create: " << code.message() << "\n";
        return 2;
    }
    if (!WriteWhole(folder / kCommandsFileName, result.commands, err) ||
        !WriteWhole(folder / kScenarioFileName, result.scenario, err)) {
        return 2;
    }
    return 0;
}

// The two data files named on the command line, read whole; nothing (after a message) when
// either cannot be read.
struct GameFiles {
    fs::path commands_path;
    fs::path scenario_path;
    std::string commands;
    std::string scenario;
};

std::optional<GameFiles> ReadGameFiles(const Options& options, std::ostream& err) {
    const auto paths = DataFiles(options.inputs, err);
    if (!paths) {
        return std::nullopt;
    }
    auto commands = ReadWhole(paths->first, err, kMaxInputSize);
    auto scenario = ReadWhole(paths->second, err, kMaxInputSize);
    if (!commands || !scenario) {
        return std::nullopt;
    }
    return GameFiles{paths->first, paths->second, std::move(*commands), std::move(*scenario)};
}

// A game named on the command line, as the files a player would be given: a source is
// compiled (its findings written as build writes them), a folder's two data files are read.
struct LoadedGame {
    GameFiles files;
    // The compiler's result, with the source's names, when the game is a source.
    std::optional<CompileResult> compiled;
    // The title a game without an information text goes by: the source's stem or the folder's
    // name.
    std::string default_title;
    // Where the game's Read1st!.txt would lie.
    fs::path readme_path;
};

std::optional<LoadedGame> LoadGame(const fs::path& input, std::ostream& err,
                                   SourceEncoding encoding = SourceEncoding::kUtf8) {
    LoadedGame loaded;
    std::error_code code;
    if (fs::is_directory(input, code)) {
        Options folder;
        folder.inputs = {input.string()};
        auto read = ReadGameFiles(folder, err);
        if (!read) {
            return std::nullopt;
        }
        loaded.files = std::move(*read);
        fs::path named = fs::absolute(input, code).lexically_normal();
        if (!named.has_filename()) {
            named = named.parent_path();
        }
        loaded.default_title = named.filename().string();
        loaded.readme_path = input / "Read1st!.txt";
        return loaded;
    }
    auto compiled = CompileSourceFile(input, encoding, err);
    if (!compiled || !compiled->ok) {
        return std::nullopt;
    }
    CompileResult& result = *compiled;
    loaded.files = GameFiles{kCommandsFileName, kScenarioFileName, result.commands,
                             result.scenario};
    loaded.compiled = std::move(result);
    loaded.default_title = input.stem().string();
    loaded.readme_path = input.parent_path() / "Read1st!.txt";
    return loaded;
}

int Dump(const Options& options, std::ostream& out, std::ostream& err) {
    const auto files = ReadGameFiles(options, err);
    if (!files) {
        return 2;
    }
    std::vector<Finding> findings;
    GameData game;
    game.vocabulary = ReadCommands(files->commands, findings);
    game.scenario = ReadScenario(files->scenario, findings);
    if (HasErrors(findings)) {
        err << "warning: the files break the format in places; 'narravox-ply check' lists them. "
               "What could be read is written.\n";
    }
    const std::string source = Decompile(game);
    if (options.output) {
        return WriteWhole(*options.output, source, err) ? 0 : 2;
    }
    out << source;
    return 0;
}

struct FindingCounts {
    int errors = 0;
    int warnings = 0;
};

// Writes the findings (the errors alone when asked), each named by the data file it is in.
FindingCounts ReportFindings(const std::vector<Finding>& findings, const GameFiles& files,
                             bool errors_only, std::ostream& out) {
    FindingCounts counts;
    for (const Finding& finding : findings) {
        const bool error = finding.severity == Severity::kError;
        if (errors_only && !error) {
            continue;
        }
        const fs::path& path =
            finding.file == FileKind::kCommands ? files.commands_path : files.scenario_path;
        out << FormatFinding(path.string(), finding) << "\n";
        (error ? counts.errors : counts.warnings) += 1;
    }
    return counts;
}

int Check(const Options& options, std::ostream& out, std::ostream& err) {
    const auto files = ReadGameFiles(options, err);
    if (!files) {
        return 2;
    }
    const FindingCounts counts =
        ReportFindings(CheckGame(files->commands, files->scenario), *files, false, out);
    out << counts.errors << " error(s), " << counts.warnings << " warning(s)\n";
    return counts.errors > 0 || (options.werror && counts.warnings > 0) ? 1 : 0;
}

// The player template: the one named, or the first of the places it is installed to.
std::optional<std::string> FindPlayerTemplate(const Options& options,
                                              const std::vector<std::string>& places,
                                              std::ostream& err) {
    if (options.player_template) {
        return ReadWhole(*options.player_template, err, kMaxInputSize);
    }
    std::error_code code;
    for (const std::string& place : places) {
        if (fs::is_regular_file(place, code)) {
            return ReadWhole(place, err, kMaxInputSize);
        }
    }
    err << "narravox-ply: no player template (player-template.html) beside narravox-ply or in";
    for (const std::string& place : places) {
        err << " " << fs::path(place).parent_path().string();
    }
    err << ".\nThe web build makes one: cmake --preset web && cmake --build --preset web writes "
           "build/web/player-template.html;\ngive it with --template FILE, or install the "
           "narravox package, which holds it.\n";
    return std::nullopt;
}

int Publish(const Options& options, const std::vector<std::string>& template_places,
            std::ostream& err) {
    if (options.inputs.size() != 1 || !options.output) {
        err << kUsage;
        return 2;
    }
    const auto player_template = FindPlayerTemplate(options, template_places, err);
    if (!player_template) {
        return 1;
    }
    auto loaded = LoadGame(options.inputs[0], err, options.encoding);
    if (!loaded) {
        return 1;
    }
    GameFiles& files = loaded->files;
    std::error_code code;
    // What check refuses, no player should be given.
    const std::vector<Finding> findings = CheckGame(files.commands, files.scenario);
    if (HasErrors(findings)) {
        const FindingCounts counts = ReportFindings(findings, files, true, err);
        err << counts.errors << " error(s): not published\n";
        return 1;
    }
    // A source's warnings were written as it compiled, with its names; a folder's are written
    // here.
    const bool warned = loaded->compiled ? !loaded->compiled->findings.empty() : !findings.empty();
    if (options.werror && warned) {
        if (!loaded->compiled) {
            ReportFindings(findings, files, false, err);
        }
        err << "warnings count as errors (--werror): not published\n";
        return 1;
    }
    PublishedGame game;
    game.commands = std::move(files.commands);
    game.scenario = std::move(files.scenario);
    std::vector<Finding> ignored;
    game.title = options.title ? *options.title
                               : TitleFromInfo(ReadScenario(game.scenario, ignored).info);
    if (game.title.empty()) {
        game.title = loaded->default_title;
    }
    if (options.readme) {
        const auto readme = ReadWhole(*options.readme, err, kMaxInputSize);
        if (!readme) {
            return 1;
        }
        game.readme = ReadmeText(*readme);
    } else if (fs::is_regular_file(loaded->readme_path, code)) {
        if (const auto readme = ReadWhole(loaded->readme_path, err, kMaxInputSize)) {
            game.readme = ReadmeText(*readme);
        }
    }
    const auto page = PublishPage(*player_template, game);
    if (!page) {
        err << (options.player_template ? *options.player_template : std::string("the template"))
            << ": not a player template of this version (a place for the game is missing)\n";
        return 1;
    }
    return ReplaceWhole(*options.output, *page, err) ? 0 : 2;
}

int Map(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.inputs.size() != 1) {
        err << kUsage;
        return 2;
    }
    const fs::path input = options.inputs[0];
    std::error_code code;
    const bool folder = fs::is_directory(input, code);
    if (!folder && !fs::is_regular_file(input, code)) {
        err << input.string() << ": cannot read: no such file or folder\n";
        return 2;
    }
    auto loaded = LoadGame(input, err, options.encoding);
    if (!loaded) {
        // A folder fails only when its files cannot be read, a source when it has errors.
        return folder ? 2 : 1;
    }
    const std::vector<Finding> findings = CheckGame(loaded->files.commands, loaded->files.scenario);
    if (HasErrors(findings)) {
        const FindingCounts counts = ReportFindings(findings, loaded->files, true, err);
        err << counts.errors << " error(s): no map drawn\n";
        return 1;
    }
    GameData game;
    MapNames names;
    if (loaded->compiled) {
        game = std::move(loaded->compiled->game);
        names = MapNamesOf(*loaded->compiled);
    } else {
        std::vector<Finding> ignored;
        game.vocabulary = ReadCommands(loaded->files.commands, ignored);
        game.scenario = ReadScenario(loaded->files.scenario, ignored);
    }
    const std::string dot = MapDot(game, names);
    if (!options.output) {
        out << dot;
        return 0;
    }
    const auto contents = MapFile(dot, *options.output, err);
    return contents && ReplaceWhole(*options.output, *contents, err) ? 0 : 2;
}

}  // namespace

std::vector<Finding> CheckGame(std::string_view commands, std::string_view scenario) {
    std::vector<Finding> findings;
    GameData game;
    game.vocabulary = ReadCommands(commands, findings);
    game.scenario = ReadScenario(scenario, findings);
    LintGame(game, findings);
    std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
        return std::pair(a.file, a.where.offset) < std::pair(b.file, b.where.offset);
    });
    return findings;
}

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::vector<std::string>& template_places) {
    // Asked for, the usage is the answer and goes where answers go; after a mistake it is an
    // error message.
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return 0;
    }
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const auto options = ParseOptions(args, err);
    if (!options) {
        return 2;
    }
    // test reads its own options (those of narravox-term's batch mode among them) from what is
    // left after the common ones; a source is compiled as build compiles it.
    if (args[0] == "test") {
        if (options->output) {
            err << kUsage;
            return 2;
        }
        std::vector<std::string> test_args = {args[0]};
        test_args.insert(test_args.end(), options->inputs.begin(), options->inputs.end());
        const auto encoding = options->encoding;
        const GameLoader load = [encoding](const std::string& game,
                                           std::ostream& messages) -> std::optional<GameBytes> {
            auto loaded = LoadGame(game, messages, encoding);
            if (!loaded) {
                return std::nullopt;
            }
            return GameBytes{std::move(loaded->files.commands), std::move(loaded->files.scenario)};
        };
        return PlayTest(test_args, load, kUsage, out, err);
    }
    if (args[0] == "--version" && args.size() == 1) {
        out << "narravox-ply " << kVersion << "\n";
        return 0;
    }
    if (args[0] == "build") {
        return Build(*options, err);
    }
    if (args[0] == "dump") {
        return Dump(*options, out, err);
    }
    if (args[0] == "check") {
        return Check(*options, out, err);
    }
    if (args[0] == "publish") {
        return Publish(*options, template_places, err);
    }
    if (args[0] == "map") {
        return Map(*options, out, err);
    }
    err << kUsage;
    return 2;
}

}  // namespace narravox::ply
