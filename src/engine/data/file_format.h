// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

// The layout of the two data files, written down once. The engine reads it, narravox-ply writes
// and checks it, and the tests, fuzz targets and benchmarks build their games with it; none of
// them spells a magic, a file name, a statement code or the scramble on its own.
// docs/file-formats.md describes the same layout in prose.
namespace narravox {

inline constexpr std::string_view kCommandsFileName = "Commands.ply";
inline constexpr std::string_view kScenarioFileName = "Scenario.ply";

// Each file starts with its magic, stored plain; the scrambled body follows it.
inline constexpr std::string_view kCommandsMagic = "CMD3";
inline constexpr std::string_view kScenarioMagic = "SCR3";
inline constexpr std::int32_t kMagicSize = 4;
inline constexpr std::int32_t kBodyStart = kMagicSize;
static_assert(kCommandsMagic.size() == kMagicSize && kScenarioMagic.size() == kMagicSize);

// Every body byte is stored XOR the low byte of its own absolute offset, so a reader may seek
// anywhere and read on from there, and the same XOR undoes it.
constexpr unsigned char ScrambleKey(std::int64_t offset) {
    return static_cast<unsigned char>(offset & 0xFF);
}

// Scrambles the body of a whole file given with its magic, which stays plain; or unscrambles it,
// since the operation is its own inverse.
inline std::string Scramble(std::string file) {
    for (std::size_t i = kBodyStart; i < file.size(); ++i) {
        file[i] = static_cast<char>(static_cast<unsigned char>(file[i]) ^
                                    ScrambleKey(static_cast<std::int64_t>(i)));
    }
    return file;
}

// Offsets stored in a body are absolute file positions that readers compare as signed 32-bit
// numbers, so no data file may grow beyond this size.
inline constexpr std::int64_t kMaxFileSize = std::numeric_limits<std::int32_t>::max();

// The head of "Scenario.ply": where each field stands. The information text runs from
// kInformationTextAt to its zero byte; free bytes may follow it up to the location table.
inline constexpr std::int32_t kLocationTableOffsetAt = kBodyStart;
inline constexpr std::int32_t kGlobalLocationAt = 8;
inline constexpr std::int32_t kStartLocationAt = 10;
inline constexpr std::int32_t kArrivalVerbAt = 12;
inline constexpr std::int32_t kInformationTextAt = 14;
// Readers take the head's fields one after another.
static_assert(kGlobalLocationAt == kLocationTableOffsetAt + 4 &&
              kStartLocationAt == kGlobalLocationAt + 2 && kArrivalVerbAt == kStartLocationAt + 2 &&
              kInformationTextAt == kArrivalVerbAt + 2);

// Branches nested deeper than this end the pass instead of recursing further; narravox-ply
// neither writes nor accepts deeper ones.
inline constexpr int kMaxNesting = 256;

// The largest counts the files can hold: a vocabulary group's synonym count is unsigned, the
// phrase count of an object section and the verb count of a reaction are signed.
inline constexpr std::size_t kMaxSynonyms = 0xFFFF;
inline constexpr std::size_t kMaxPhrases = 0x7FFF;
inline constexpr std::size_t kMaxReactionVerbs = 0x7FFF;

// What follows a statement's two code bytes, in the order stored. Numbers are little-endian.
enum class Operand : std::uint8_t {
    // Code page 1251 text up to and including a zero byte.
    kText,
    // A flag number, signed 16 bits; negative numbers lie outside the flag set.
    kFlag,
    // A location id, 16 bits.
    kLocation,
    // An absolute offset, 32 bits: where the body that follows it ends.
    kEnd,
    // Statements from here up to the end offset stored last before them; the statement goes on
    // at that offset.
    kBody,
};

// Bytes an operand takes; 0 for the operands whose length the data decides.
constexpr std::int32_t OperandSize(Operand operand) {
    switch (operand) {
        case Operand::kFlag:
        case Operand::kLocation:
            return 2;
        case Operand::kEnd:
            return 4;
        case Operand::kText:
        case Operand::kBody:
            return 0;
    }
    return 0;
}

// Every statement the interpreter knows: its name in the code, its two code bytes as stored
// (before scrambling), and its operands. Whoever needs the list expands it with a macro of its
// own taking (name, code, operands...), as StatementCode below does. Two equal codes do not
// compile, since StatementCodeOf turns each into a case label.
#define NARRAVOX_STATEMENTS(STATEMENT)                                                          \
    /* Prints the text, framed by two spaces, or centred and paced line by line in the centred  \
       mode. */                                                                                 \
    STATEMENT(kText, "TX", Operand::kText)                                                      \
    /* Switches the centred mode on; it ends with the pass anyway. */                           \
    STATEMENT(kCenterOn, "SC")                                                                  \
    /* Switches the centred mode off. */                                                        \
    STATEMENT(kCenterOff, "EC")                                                                 \
    /* Clears the text window by printing one line feed per visible line. */                    \
    STATEMENT(kClearScreen, "CS")                                                               \
    /* Sets a flag. */                                                                          \
    STATEMENT(kSetFlag, "CF", Operand::kFlag)                                                   \
    /* Clears a flag. */                                                                        \
    STATEMENT(kClearFlag, "DF", Operand::kFlag)                                                 \
    /* Clears every flag. */                                                                    \
    STATEMENT(kClearAllFlags, "DA")                                                             \
    /* Jumps to a location: nothing more runs, and the arrival verb then runs there. */         \
    STATEMENT(kJump, "JS", Operand::kLocation)                                                  \
    /* Runs the body when the flag is set; the statement ends at the end offset. */             \
    STATEMENT(kIf, "IF", Operand::kEnd, Operand::kFlag, Operand::kBody)                         \
    /* Runs the then-body when the flag is set and the else-body otherwise. The else-end offset \
       stands at the then-end offset, and the statement ends at the else-end offset. */         \
    STATEMENT(kIfElse, "IE", Operand::kEnd, Operand::kFlag, Operand::kBody, Operand::kEnd,      \
              Operand::kBody)

enum class StatementCode : std::uint8_t {
#define NARRAVOX_ENUMERATOR(name, code, ...) name,
    NARRAVOX_STATEMENTS(NARRAVOX_ENUMERATOR)
#undef NARRAVOX_ENUMERATOR
    // Any other two bytes: a statement of those two bytes that does nothing. Games may hold
    // them, so meeting one is no error.
    kUnknown,
};

// A statement's code bytes and operands, as the list gives them.
struct StatementLayout {
    std::string_view code;
    std::array<Operand, 5> operands{};
    std::size_t operand_count = 0;
};

namespace format_detail {

template <typename... Operands>
constexpr StatementLayout Layout(std::string_view code, Operands... operands) {
    return StatementLayout{code, {operands...}, sizeof...(operands)};
}

inline constexpr StatementLayout kLayouts[] = {
#define NARRAVOX_LAYOUT(name, code, ...) Layout(code __VA_OPT__(, ) __VA_ARGS__),
    NARRAVOX_STATEMENTS(NARRAVOX_LAYOUT)
#undef NARRAVOX_LAYOUT
        StatementLayout{},
};

constexpr std::uint16_t Pack(char first, char second) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(first) << 8 |
                                      static_cast<unsigned char>(second));
}

constexpr bool CodesAreTwoCapitals() {
    for (std::size_t i = 0; i + 1 < std::size(kLayouts); ++i) {
        const std::string_view code = kLayouts[i].code;
        if (code.size() != 2 || code[0] < 'A' || code[0] > 'Z' || code[1] < 'A' || code[1] > 'Z') {
            return false;
        }
    }
    return true;
}
static_assert(CodesAreTwoCapitals(), "a statement code is two capital letters");

}  // namespace format_detail

inline constexpr std::int32_t kStatementCodeSize = 2;

// The statement that the two code bytes read from a file stand for; kUnknown for any other two.
constexpr StatementCode StatementCodeOf(char first, char second) {
    using format_detail::Pack;
    switch (Pack(first, second)) {
#define NARRAVOX_CASE(name, code, ...) \
    case Pack(code[0], code[1]):       \
        return StatementCode::name;
        NARRAVOX_STATEMENTS(NARRAVOX_CASE)
#undef NARRAVOX_CASE
    }
    return StatementCode::kUnknown;
}

// The two code bytes of a known statement; empty for kUnknown.
constexpr std::string_view StatementCodeBytes(StatementCode code) {
    return format_detail::kLayouts[static_cast<std::size_t>(code)].code;
}

// A statement's operands in the order stored; none for kUnknown.
constexpr std::span<const Operand> StatementOperands(StatementCode code) {
    const StatementLayout& layout = format_detail::kLayouts[static_cast<std::size_t>(code)];
    return std::span<const Operand>(layout.operands.data(), layout.operand_count);
}

// Bytes from a statement's first byte up to its first operand of variable length (or its end):
// what a reader may take at once before looking at the data.
constexpr std::int32_t StatementHeadSize(StatementCode code) {
    std::int32_t size = kStatementCodeSize;
    for (const Operand operand : StatementOperands(code)) {
        if (OperandSize(operand) == 0) {
            break;
        }
        size += OperandSize(operand);
    }
    return size;
}

}  // namespace narravox
