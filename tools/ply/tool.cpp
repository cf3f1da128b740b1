// SPDX-License-Identifier: MIT
#include "tool.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "compiler.h"
#include "data/file_format.h"
#include "decompiler.h"
#include "lint.h"
#include "narravox_version.h"
#include "reader.h"

namespace narravox::ply {
namespace {

namespace fs = std::filesystem;

// Data files cannot exceed 2 GiB; anything near this size is not a game, and reading it whole
// would only waste memory.
constexpr std::uintmax_t kMaxInputSize = 256u << 20;

constexpr const char* kUsage =
    "usage: narravox-ply build SOURCE -o DIR\n"
    "       narravox-ply dump DIR | COMMANDS SCENARIO [-o FILE]\n"
    "       narravox-ply check DIR | COMMANDS SCENARIO\n"
    "       narravox-ply --help | --version\n";

std::optional<std::string> ReadWhole(const fs::path& path, std::ostream& err) {
    std::error_code code;
    const auto size = fs::file_size(path, code);
    if (code || !fs::is_regular_file(path, code)) {
        err << path.string() << ": cannot read: not a file\n";
        return std::nullopt;
    }
    if (size > kMaxInputSize) {
        err << path.string() << ": cannot read: larger than " << (kMaxInputSize >> 20) << " MiB\n";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string data(static_cast<std::size_t>(size), '\0');
    if (!in.read(data.data(), static_cast<std::streamsize>(size))) {
        err << path.string() << ": cannot read\n";
        return std::nullopt;
    }
    return data;
}

bool WriteWhole(const fs::path& path, const std::string& data, std::ostream& err) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
        err << path.string() << ": cannot write\n";
        return false;
    }
    return true;
}

struct Options {
    std::vector<std::string> inputs;
    std::optional<std::string> output;
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::ostream& err) {
    Options options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size() || options.output) {
                err << kUsage;
                return std::nullopt;
            }
            options.output = args[++i];
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

int Build(const Options& options, std::ostream& err) {
    if (options.inputs.size() != 1 || !options.output) {
        err << kUsage;
        return 2;
    }
    const auto source = ReadWhole(options.inputs[0], err);
    if (!source) {
        return 2;
    }
    const CompileResult result = Compile(*source);
    for (const Finding& finding : result.findings) {
        err << FormatFinding(options.inputs[0], finding) << "\n";
    }
    if (!result.ok) {
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
    auto commands = ReadWhole(paths->first, err);
    auto scenario = ReadWhole(paths->second, err);
    if (!commands || !scenario) {
        return std::nullopt;
    }
    return GameFiles{paths->first, paths->second, std::move(*commands), std::move(*scenario)};
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

int Check(const Options& options, std::ostream& out, std::ostream& err) {
    const auto files = ReadGameFiles(options, err);
    if (!files) {
        return 2;
    }
    const std::vector<Finding> findings = CheckGame(files->commands, files->scenario);
    int errors = 0;
    int warnings = 0;
    for (const Finding& finding : findings) {
        const fs::path& path =
            finding.file == FileKind::kCommands ? files->commands_path : files->scenario_path;
        out << FormatFinding(path.string(), finding) << "\n";
        (finding.severity == Severity::kError ? errors : warnings) += 1;
    }
    out << errors << " error(s), " << warnings << " warning(s)\n";
    return errors > 0 ? 1 : 0;
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

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
    err << kUsage;
    return 2;
}

}  // namespace narravox::ply
