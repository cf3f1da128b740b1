// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/file_format.h"

// The game as the two data files hold it, in memory. The compiler produces it from source, the
// reader from the files; the writer, the decompiler and the lint take it. Texts are code page
// 1251, exactly the bytes that stand in the files.
namespace narravox::ply {

// Where an element came from: a source position for compiled games, an absolute file offset for
// games read from files. Unknown parts stay at their defaults.
struct Where {
    std::int32_t offset = -1;
    int line = 0;
    int column = 0;
};

struct Statement {
    // The statements of the file format; kUnknown for two code bytes the interpreter does not
    // know, which it skips.
    using Kind = StatementCode;
    Kind kind = Kind::kUnknown;
    // The text of kText; the bytes of kUnknown, stored as they are (its two code bytes when read
    // from a file).
    std::string text;
    std::int16_t flag = 0;
    std::uint16_t location = 0;
    std::vector<Statement> then_body;
    std::vector<Statement> else_body;
    Where where;
};

struct Phrase {
    std::string text;
    Where where;
};

struct VerbUse {
    std::int16_t id = 0;
    Where where;
};

struct Reaction {
    std::vector<VerbUse> verbs;
    std::vector<Statement> statements;
    Where where;
};

struct Section {
    std::vector<Phrase> phrases;
    std::vector<Reaction> reactions;
    Where where;
};

struct Location {
    std::uint16_t id = 0;
    std::string name;
    std::vector<Section> sections;
    Where where;
};

struct Scenario {
    std::uint16_t global = 0;
    std::uint16_t start = 0;
    std::int16_t arrival = 0;
    std::string info;
    // Bytes between the information text and the location table, which nothing reads.
    std::string free_bytes;
    std::vector<Location> locations;
    Where global_where;
    Where start_where;
    Where arrival_where;
};

struct VerbGroup {
    std::int16_t id = 0;
    std::vector<Phrase> synonyms;
    Where where;
};

struct Vocabulary {
    std::vector<VerbGroup> groups;
};

struct GameData {
    Vocabulary vocabulary;
    Scenario scenario;
};

enum class Severity { kWarning, kError };

// Which file a finding points into.
enum class FileKind { kSource, kCommands, kScenario };

// One problem found in a game, in English, UTF-8.
struct Finding {
    Severity severity = Severity::kError;
    FileKind file = FileKind::kSource;
    Where where;
    std::string message;
};

inline bool HasErrors(const std::vector<Finding>& findings) {
    for (const Finding& finding : findings) {
        if (finding.severity == Severity::kError) {
            return true;
        }
    }
    return false;
}

}  // namespace narravox::ply
