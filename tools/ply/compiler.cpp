// SPDX-License-Identifier: MIT
#include "compiler.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "cp1251.h"
#include "lint.h"
#include "spelling.h"
#include "writer.h"

namespace narravox::ply {
namespace {

using Kind = Statement::Kind;

// Branches nested deeper than this in source are refused; far below what the interpreter takes.
constexpr int kMaxSourceNesting = 64;
static_assert(kMaxSourceNesting <= kMaxNesting);

constexpr const char* kReserved[] = {"info",     "start",  "global", "arrival", "verb",   "flag",
                                     "location", "object", "on",     "text",    "center", "clear",
                                     "set",      "jump",   "if",     "not",     "else",   "pass",
                                     "screen",   "flags",  "off"};

bool IsReserved(std::string_view word) {
    return std::find(std::begin(kReserved), std::end(kReserved), word) != std::end(kReserved);
}

struct Token {
    enum class Type { kWord, kNumber, kString, kColon, kComma, kEquals };
    Type type = Type::kWord;
    std::string text;  // UTF-8 for words and numbers, code page 1251 for strings
    long long number = 0;
    Where where;
    int end_column = 0;  // the column just after the token
};

struct Line {
    int indent = 0;
    // A text on this line is unterminated; what the parser makes of the rest is no news.
    bool broken = false;
    Where where;  // the first token
    std::vector<Token> tokens;
};

Where Pos(int line, int column) {
    Where where;
    where.line = line;
    where.column = column;
    return where;
}

bool IsWordStart(char32_t c) {
    if (c < 0x80) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    }
    // Cyrillic letters that code page 1251 holds.
    return c >= 0x400 && c <= 0x4FF && UnicodeToCp1251(c).has_value();
}

bool IsWordPart(char32_t c) {
    return IsWordStart(c) || (c >= '0' && c <= '9') || c == '-';
}

// Stands in the decoded line for a byte that is not UTF-8; already reported where it is met.
constexpr char32_t kInvalidByte = 0x110000;

// Names of the characters that are invisible or look like others, which an author cannot tell
// apart by looking at the source.
const char* CharacterName(char32_t c) {
    static constexpr std::pair<char32_t, const char*> kNames[] = {
        {0x09, "tab"},
        {0x0B, "vertical tab"},
        {0x0C, "form feed"},
        {0x0D, "carriage return"},
        {0x7F, "delete"},
        {0xA0, "no-break space"},
        {0xAD, "soft hyphen"},
        {0x0301, "combining acute accent"},
        {0x2002, "en space"},
        {0x2003, "em space"},
        {0x2007, "figure space"},
        {0x2009, "thin space"},
        {0x200A, "hair space"},
        {0x200B, "zero-width space"},
        {0x200C, "zero-width non-joiner"},
        {0x200D, "zero-width joiner"},
        {0x200E, "left-to-right mark"},
        {0x200F, "right-to-left mark"},
        {0x2010, "hyphen"},
        {0x2011, "non-breaking hyphen"},
        {0x2012, "figure dash"},
        {0x2013, "en dash"},
        {0x2014, "em dash"},
        {0x2212, "minus sign"},
        {0x2018, "left single quote"},
        {0x2019, "right single quote"},
        {0x201C, "left double quote"},
        {0x201D, "right double quote"},
        {0x201E, "low double quote"},
        {0xAB, "left guillemet"},
        {0xBB, "right guillemet"},
        {0x2028, "line separator"},
        {0x2029, "paragraph separator"},
        {0x202F, "narrow no-break space"},
        {0x2060, "word joiner"},
        {0x3000, "ideographic space"},
        {0xFEFF, "byte order mark"},
        {0xFFFD, "replacement character"},
    };
    for (const auto& [code, name] : kNames) {
        if (code == c) {
            return name;
        }
    }
    return nullptr;
}

// Spaces other than ' ', which look like one and separate words all the same.
bool IsSpaceLike(char32_t c) {
    return c == 0xA0 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Characters that take no room at all: a name with one in it looks whole.
bool IsZeroWidth(char32_t c) {
    return c == 0xAD || (c >= 0x200B && c <= 0x200F) || c == 0x2060 || c == 0xFEFF ||
           (c >= 0x0300 && c <= 0x036F);
}

bool IsHyphenLike(char32_t c) {
    return (c >= 0x2010 && c <= 0x2012) || c == 0x2212;
}

bool IsInvisible(char32_t c) {
    return c < 0x20 || c == 0x7F || IsSpaceLike(c) || IsZeroWidth(c) || c == 0x2028 ||
           c == 0x2029 || c == kInvalidByte;
}

std::string Code(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

// A character as a message shows it: plain ASCII as itself, anything else with its code, and
// invisible ones by code and name alone.
std::string Show(char32_t c) {
    const char* name = CharacterName(c);
    if (IsInvisible(c)) {
        return Code(c) + (name != nullptr ? std::string(" (") + name + ")" : "");
    }
    std::string out = "'";
    AppendUtf8(out, c);
    out += "'";
    if (c >= 0x80) {
        out += " (" + Code(c) + (name != nullptr ? std::string(", ") + name : "") + ")";
    }
    return out;
}

// A letter with its code always: 'a' and 'а' look the same.
std::string ShowLetter(char32_t c) {
    std::string out = "'";
    AppendUtf8(out, c);
    return out + "' (" + Code(c) + ")";
}

// "a Latin 'a' (U+0061)".
std::string ScriptLetter(char32_t c) {
    return std::string(IsLatinLetter(c) ? "a Latin " : "a Cyrillic ") + ShowLetter(c);
}

// For a name that mixes Latin and Cyrillic letters, the letters of the smaller script (Latin
// when even), each once: "Latin 'a' (U+0061)"; empty for other names.
std::string MixedScriptLetters(std::string_view name) {
    const std::u32string text = Utf8ToUtf32(name);
    int latin = 0;
    int cyrillic = 0;
    for (const char32_t c : text) {
        latin += IsLatinLetter(c) ? 1 : 0;
        cyrillic += IsCyrillicLetter(c) ? 1 : 0;
    }
    if (latin == 0 || cyrillic == 0) {
        return "";
    }
    const bool show_latin = latin <= cyrillic;
    std::u32string shown;
    std::string out = show_latin ? "Latin " : "Cyrillic ";
    for (const char32_t c : text) {
        if ((show_latin ? IsLatinLetter(c) : IsCyrillicLetter(c)) &&
            shown.find(c) == std::u32string::npos) {
            out += (shown.empty() ? "" : ", ") + ShowLetter(c);
            shown += c;
        }
    }
    return out;
}

// Finds what an unknown name was probably meant to be among the known names of its kind.
// Comparing is bounded in total, so that no source, however large, makes it slow.
class Suggester {
  public:
    // "; did you mean 'Касса'?", or for a name that differs only in look-alike letters "; it has
    // a Latin 'a' (U+0061); did you mean 'Зал'?"; empty when nothing is close or two are as close.
    std::string Suggest(std::string_view unknown, const std::vector<std::string>& known) {
        match_.clear();
        constexpr std::size_t kLongest = 64;
        const std::u32string name = Utf8ToUtf32(unknown);
        if (name.empty() || name.size() > kLongest) {
            return "";
        }
        const std::u32string folded = FoldLookAlikes(name);
        // Short names are one slip away from many others; only a single slip counts for them.
        const int limit = name.size() <= 4 ? 1 : 2;
        const std::string* best = nullptr;
        int best_distance = limit + 1;
        bool tied = false;
        for (const std::string& candidate : known) {
            if (budget_ == 0) {
                return "";
            }
            --budget_;
            if (candidate.empty() || candidate == unknown) {
                continue;
            }
            const std::u32string other = Utf8ToUtf32(candidate);
            if (other.size() == name.size()) {
                if (FoldLookAlikes(other) == folded) {
                    std::string letters;
                    for (std::size_t i = 0; i < name.size(); ++i) {
                        if (name[i] != other[i]) {
                            letters += (letters.empty() ? "" : ", ") + ScriptLetter(name[i]);
                        }
                    }
                    match_ = candidate;
                    return "; it has " + letters + "; did you mean '" + candidate + "'?";
                }
            }
            const int distance = EditDistance(name, other, limit);
            // A one-letter name is no hint of another.
            if (distance >= static_cast<int>(name.size())) {
                continue;
            }
            if (distance < best_distance) {
                best = &candidate;
                best_distance = distance;
                tied = false;
            } else if (distance == best_distance) {
                tied = true;
            }
        }
        if (best == nullptr || tied) {
            return "";
        }
        match_ = *best;
        return "; did you mean '" + *best + "'?";
    }

    // The name the last hint pointed to.
    const std::string& match() const { return match_; }

  private:
    std::string match_;
    std::size_t budget_ = 200000;
};

const std::vector<std::string>& TopLevelKeywords() {
    static const std::vector<std::string> words = {"info", "start", "global",  "arrival",
                                                   "verb", "flag",  "location"};
    return words;
}

const std::vector<std::string>& StatementKeywords() {
    static const std::vector<std::string> words = {"text", "center", "clear", "set",
                                                   "jump", "if",     "else",  "pass"};
    return words;
}

bool IsTopLevelKeyword(std::string_view word) {
    const auto& words = TopLevelKeywords();
    return std::find(words.begin(), words.end(), word) != words.end();
}

class Lexer {
  public:
    explicit Lexer(std::vector<Finding>& findings) : findings_(findings) {}

    std::vector<Line> Run(std::string_view source) {
        std::vector<Line> lines;
        int number = 0;
        std::size_t at = 0;
        // A byte order mark is what some editors put first; it is not part of the game.
        if (source.substr(0, 3) == "\xEF\xBB\xBF") {
            at = 3;
        }
        while (at <= source.size()) {
            std::size_t end = source.find('\n', at);
            if (end == std::string_view::npos) {
                end = source.size();
            }
            std::string_view text = source.substr(at, end - at);
            if (!text.empty() && text.back() == '\r') {
                text.remove_suffix(1);
            }
            ++number;
            Line line = LexLine(text, number);
            if (!line.tokens.empty()) {
                lines.push_back(std::move(line));
            }
            at = end + 1;
        }
        return lines;
    }

  private:
    void Error(int line, int column, std::string message) {
        findings_.push_back(
            Finding{Severity::kError, FileKind::kSource, Pos(line, column), std::move(message)});
    }

    Line LexLine(std::string_view text, int number) {
        Line line;
        line.where = Pos(number, 1);
        // Decode the whole line first so that columns count characters, not bytes.
        std::vector<char32_t> chars;
        for (std::size_t pos = 0; pos < text.size();) {
            char32_t c = 0;
            if (!NextUtf8(text, pos, c)) {
                Error(number, static_cast<int>(chars.size()) + 1, "invalid UTF-8");
                c = kInvalidByte;
            }
            chars.push_back(c);
        }
        std::size_t i = 0;
        bool tab_reported = false;
        while (i < chars.size() && (chars[i] == ' ' || chars[i] == '\t')) {
            if (chars[i] == '\t' && !tab_reported) {
                Error(number, static_cast<int>(i) + 1, "tab in indentation; indent with spaces");
                tab_reported = true;
            }
            ++i;
        }
        line.indent = static_cast<int>(i);
        // Where an unterminated text began, when the line has one, and the quote it lacks.
        std::optional<int> unterminated;
        char32_t missing = '"';
        while (i < chars.size()) {
            const char32_t c = chars[i];
            const int column = static_cast<int>(i) + 1;
            Token token;
            token.where = Pos(number, column);
            if (c == '#') {
                break;
            }
            if (c == ' ' || c == '\t' || c == kInvalidByte) {
                ++i;
                continue;
            }
            if (c == ':' || c == ',' || c == '=') {
                token.type = c == ':'   ? Token::Type::kColon
                             : c == ',' ? Token::Type::kComma
                                        : Token::Type::kEquals;
                token.text = std::string(1, static_cast<char>(c));
                ++i;
            } else if (c == '"' || ClosingQuote(c) != 0) {
                if (c != '"') {
                    Error(number, column,
                          "a text in typographic quotes " + Show(c) +
                              "; write texts in straight quotes \"...\"");
                }
                token.type = Token::Type::kString;
                missing = c == '"' ? U'"' : ClosingQuote(c);
                if (!LexString(chars, i, number, missing, token.text)) {
                    unterminated = column;
                    break;
                }
            } else if ((c >= '0' && c <= '9') || (c == '-' && i + 1 < chars.size() &&
                                                  chars[i + 1] >= '0' && chars[i + 1] <= '9')) {
                token.type = Token::Type::kNumber;
                const bool negative = c == '-';
                token.text = negative ? "-" : "";
                i += negative ? 1 : 0;
                long long value = 0;
                while (i < chars.size() && chars[i] >= '0' && chars[i] <= '9') {
                    // Saturates: any number this large is out of every range anyway.
                    value = std::min<long long>(value * 10 + (chars[i] - '0'), 1LL << 40);
                    token.text += static_cast<char>(chars[i]);
                    ++i;
                }
                token.number = negative ? -value : value;
            } else if (IsWordStart(c)) {
                token.type = Token::Type::kWord;
                while (i < chars.size()) {
                    if (IsWordPart(chars[i])) {
                        AppendUtf8(token.text, chars[i]);
                    } else if ((IsZeroWidth(chars[i]) || IsHyphenLike(chars[i])) &&
                               i + 1 < chars.size() && IsWordPart(chars[i + 1])) {
                        // Inside a name: reported, and read as the author meant it, so that
                        // the name does not fall apart into errors of its own.
                        Unexpected(number, chars[i], static_cast<int>(i) + 1);
                        if (IsHyphenLike(chars[i])) {
                            token.text += '-';
                        }
                    } else {
                        break;
                    }
                    ++i;
                }
            } else {
                Unexpected(number, c, column);
                ++i;
                continue;
            }
            token.end_column = static_cast<int>(i) + 1;
            if (line.tokens.empty()) {
                line.where = token.where;
            }
            line.tokens.push_back(std::move(token));
        }
        if (InnerQuote(line, unterminated)) {
            line.broken = true;
        } else if (unterminated) {
            Error(number, *unterminated,
                  "unterminated text: the closing " + (missing == '"' ? "'\"'" : Show(missing)) +
                      " is missing");
            line.broken = true;
        }
        return line;
    }

    void Unexpected(int number, char32_t c, int column) {
        std::string message = "unexpected character " + Show(c);
        if (IsCyrillicLetter(c)) {
            message += "; code page 1251 lacks it";
        } else if (c == 0xBB || c == 0x201D) {
            message += "; write texts in straight quotes \"...\"";
        } else if (IsSpaceLike(c)) {
            message += "; type a plain space";
        } else if (IsZeroWidth(c)) {
            message += "; it is invisible: delete it";
        } else if (IsHyphenLike(c)) {
            message += "; type a plain '-'";
        }
        Error(number, column, std::move(message));
    }

    // The closing quote of a text opened with a typographic one, or 0 for other characters.
    static char32_t ClosingQuote(char32_t c) {
        switch (c) {
            case 0xAB:  // «…»
                return 0xBB;
            case 0x201C:  // “…”
                return 0x201D;
            case 0x201E:  // „…“
                return 0x201C;
            default:
                return 0;
        }
    }

    // A text followed by words and another text (or an unterminated one) is a text with a '"'
    // inside that was meant to be part of it: `text "Он сказал "привет" и ушёл"`.
    bool InnerQuote(const Line& line, std::optional<int> unterminated) {
        const std::vector<Token>& tokens = line.tokens;
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            if (tokens[k].type != Token::Type::kString) {
                continue;
            }
            std::size_t next = k + 1;
            while (next < tokens.size() && (tokens[next].type == Token::Type::kWord ||
                                            tokens[next].type == Token::Type::kNumber)) {
                ++next;
            }
            const bool words = next > k + 1;
            const bool closed = next < tokens.size() && tokens[next].type == Token::Type::kString;
            if (words && (closed || (next == tokens.size() && unterminated))) {
                Error(tokens[k].where.line, tokens[k].end_column - 1,
                      "this '\"' ends the text; write a quote inside a text as \\\"");
                return true;
            }
        }
        return false;
    }

    static int HexDigit(char32_t c) {
        if (c >= '0' && c <= '9') {
            return static_cast<int>(c - '0');
        }
        if (c >= 'a' && c <= 'f') {
            return static_cast<int>(c - 'a' + 10);
        }
        if (c >= 'A' && c <= 'F') {
            return static_cast<int>(c - 'A' + 10);
        }
        return -1;
    }

    // Reads a quoted string starting at its opening quote chars[i] into code page 1251 bytes, up
    // to `close`; false (with nothing reported) when the line ends first.
    bool LexString(const std::vector<char32_t>& chars, std::size_t& i, int number, char32_t close,
                   std::string& out) {
        ++i;
        while (i < chars.size()) {
            const char32_t c = chars[i];
            const int column = static_cast<int>(i) + 1;
            if (c == close) {
                ++i;
                return true;
            }
            if (c == '\\') {
                if (i + 1 >= chars.size()) {
                    break;
                }
                const char32_t e = chars[i + 1];
                i += 2;
                if (e == 'n') {
                    out += '\n';
                } else if (e == 't') {
                    out += '\t';
                } else if (e == '"' || e == '\\') {
                    out += static_cast<char>(e);
                } else if (e == 'x') {
                    const int high = i < chars.size() ? HexDigit(chars[i]) : -1;
                    const int low = i + 1 < chars.size() ? HexDigit(chars[i + 1]) : -1;
                    if (high < 0 || low < 0) {
                        Error(number, column, "\\x needs two hexadecimal digits");
                        continue;
                    }
                    i += 2;
                    const int byte = high * 16 + low;
                    if (byte == 0) {
                        Error(number, column, "\\x00 cannot stand in a text: it ends texts");
                        continue;
                    }
                    out += static_cast<char>(byte);
                } else {
                    Error(number, column,
                          "unknown escape \\" + Show(e) + "; use \\n, \\t, \\\", \\\\ or \\xHH");
                }
                continue;
            }
            if (c < 0x20) {
                Error(number, column,
                      "control character " + Show(c) + " in a text; use " +
                          (c == '\t' ? "\\t" : "\\xHH"));
            } else if (const auto byte = UnicodeToCp1251(c)) {
                out += static_cast<char>(*byte);
            } else if (c != kInvalidByte) {
                Error(number, column, "character " + Show(c) + " is not in code page 1251");
            }
            ++i;
        }
        return false;
    }

    std::vector<Finding>& findings_;
};

struct Name {
    std::string text;  // UTF-8
    Where where;
};

struct SourceStatement {
    Kind kind = Kind::kText;
    std::string text;
    Name name;
    bool negate = false;
    bool has_else = false;
    std::vector<SourceStatement> then_body;
    std::vector<SourceStatement> else_body;
    Where where;
};

struct SourceReaction {
    std::vector<Name> verbs;
    std::vector<SourceStatement> body;
    Where where;
};

struct SourceSection {
    std::vector<Phrase> phrases;
    std::vector<SourceReaction> reactions;
    Where where;
};

struct Numbered {
    Name name;
    std::optional<long long> id;
    Where id_where;
};

struct SourceLocation {
    Numbered head;
    std::optional<std::string> title;
    std::vector<SourceSection> sections;
};

struct SourceVerb {
    Numbered head;
    std::vector<Phrase> synonyms;
};

struct SourceGame {
    std::optional<std::string> info;
    std::optional<Name> start, global, arrival;
    std::vector<SourceVerb> verbs;
    std::vector<Numbered> flag_declarations;
    // Every flag name in source order, declarations and uses alike; numbers go by first mention.
    std::vector<Name> flag_mentions;
    std::vector<SourceLocation> locations;
    // Names that a broken declaration line was meant to declare: their uses draw no errors of
    // their own, since the declaration's error tells the cause.
    std::set<std::string> broken_locations;
    std::set<std::string> broken_verbs;
    // Header keywords (start, arrival, ...) of lines that could not be read.
    std::set<std::string> broken_keywords;
    // Every name of a verb, location or flag where it stands, in source order.
    std::vector<Name> names;
};

// Reads one line's tokens from left to right.
class Tokens {
  public:
    explicit Tokens(const Line& line) : line_(line) {}

    bool AtEnd() const { return i_ >= line_.tokens.size(); }
    const Token* Peek() const { return AtEnd() ? nullptr : &line_.tokens[i_]; }
    bool PeekIs(Token::Type type) const { return !AtEnd() && Peek()->type == type; }
    bool PeekWord(std::string_view word) const {
        return PeekIs(Token::Type::kWord) && Peek()->text == word;
    }
    const Token& Next() { return line_.tokens[i_++]; }
    // Where the next token stands, or just after the last one.
    Where Here() const {
        if (!AtEnd()) {
            return Peek()->where;
        }
        Where where = line_.tokens.back().where;
        where.column = line_.tokens.back().end_column;
        return where;
    }

  private:
    const Line& line_;
    std::size_t i_ = 0;
};

// Thrown inside one line's parsing to abandon the rest of that line; never leaves the parser.
struct LineError {};

class Parser {
  public:
    Parser(std::vector<Line> lines, std::vector<Finding>& findings)
        : lines_(std::move(lines)), findings_(findings) {}

    SourceGame Run() {
        while (pos_ < lines_.size()) {
            const Line& line = lines_[pos_++];
            if (line.indent > 0 && StartsWithTopLevelKeyword(line)) {
                // Read as meant, so that the names it declares are known.
                Error(line.where, MustNotIndent(line));
            } else if (line.indent > 0) {
                Error(line.where, "unexpected indentation");
                SkipChildren(0);
                continue;
            }
            Guarded(line, [&](Tokens& t) { TopLevel(line, t); });
        }
        return std::move(game_);
    }

  private:
    void Error(const Where& where, std::string message) {
        findings_.push_back(
            Finding{Severity::kError, FileKind::kSource, where, std::move(message)});
    }
    [[noreturn]] void Fail(const Where& where, std::string message) {
        Error(where, std::move(message));
        throw LineError{};
    }

    template <typename Body>
    void Guarded(const Line& line, Body&& body) {
        Tokens tokens(line);
        const std::size_t before = findings_.size();
        try {
            body(tokens);
        } catch (const LineError&) {
            // The lexer has reported why the line is broken; the parser's view adds nothing.
            if (line.broken) {
                findings_.resize(before);
            }
            SkipChildren(line.indent);
        }
    }

    static bool StartsWithTopLevelKeyword(const Line& line) {
        return line.tokens.front().type == Token::Type::kWord &&
               IsTopLevelKeyword(line.tokens.front().text);
    }

    static std::string MustNotIndent(const Line& line) {
        return "'" + line.tokens.front().text +
               "' starts a line of its own, at column 1: "
               "remove the indentation";
    }

    // A declaration line that could not be read: the word after its keyword was meant as the
    // name of a location or verb (either, when the keyword itself is mistyped).
    void NoteBrokenDeclaration(const Line& line) {
        if (line.tokens.size() < 2 || line.tokens[1].type != Token::Type::kWord) {
            return;
        }
        const std::string& keyword = line.tokens[0].text;
        const std::string& name = line.tokens[1].text;
        if (keyword != "verb") {
            game_.broken_locations.insert(name);
        }
        if (keyword != "location") {
            game_.broken_verbs.insert(name);
        }
    }

    void SkipChildren(int indent) {
        while (pos_ < lines_.size() && lines_[pos_].indent > indent) {
            ++pos_;
        }
    }

    // Runs `handle` for every line of the block indented under a line at `parent_indent`.
    template <typename Handle>
    void Block(int parent_indent, Handle&& handle) {
        if (pos_ >= lines_.size() || lines_[pos_].indent <= parent_indent) {
            return;
        }
        const int indent = lines_[pos_].indent;
        while (pos_ < lines_.size() && lines_[pos_].indent > parent_indent) {
            const Line& line = lines_[pos_++];
            if (StartsWithTopLevelKeyword(line)) {
                Error(line.where, MustNotIndent(line));
                NoteBrokenDeclaration(line);
                SkipChildren(line.indent);
                continue;
            }
            if (line.indent != indent) {
                Error(line.where, line.indent > indent ? "unexpected indentation"
                                                       : "indentation matches no line above");
                SkipChildren(std::max(line.indent, indent));
                continue;
            }
            Guarded(line, [&](Tokens& t) { handle(line, t); });
        }
    }

    bool HasBlock(int parent_indent) const {
        return pos_ < lines_.size() && lines_[pos_].indent > parent_indent;
    }

    void ExpectEnd(Tokens& t) {
        if (!t.AtEnd()) {
            Fail(t.Here(), "unexpected " + Describe(*t.Peek()) + " at the end of the line");
        }
    }

    static std::string Describe(const Token& token) {
        switch (token.type) {
            case Token::Type::kString:
                return "text";
            case Token::Type::kNumber:
                return "number " + token.text;
            case Token::Type::kWord:
                return "'" + token.text + "'";
            default:
                return "'" + token.text + "'";
        }
    }

    // A name; a reserved word is refused here unless it is a use of a name (`use`), which the
    // resolver reports only when no broken declaration explains it.
    Name ExpectName(Tokens& t, const char* what, bool use = false) {
        if (!t.PeekIs(Token::Type::kWord)) {
            Fail(t.Here(), std::string("expected ") + what + " name" +
                               (t.AtEnd() ? "" : ", found " + Describe(*t.Peek())));
        }
        const Token& token = t.Next();
        if (IsReserved(token.text) && !use) {
            Fail(token.where, "'" + token.text + "' is a reserved word and cannot name " + what);
        }
        game_.names.push_back(Name{token.text, token.where});
        return Name{token.text, token.where};
    }

    // "; did you mean 'object'?" after a word that was meant as a keyword.
    std::string KeywordHint(const std::string& word, const std::vector<std::string>& keywords) {
        return suggester_.Suggest(word, keywords);
    }

    void ExpectColon(Tokens& t) {
        if (!t.PeekIs(Token::Type::kColon)) {
            Fail(t.Here(), "expected ':'");
        }
        t.Next();
    }

    // "= number", when present.
    void OptionalNumber(Tokens& t, Numbered& numbered) {
        if (!t.PeekIs(Token::Type::kEquals)) {
            return;
        }
        t.Next();
        if (!t.PeekIs(Token::Type::kNumber)) {
            Fail(t.Here(), "expected a number after '='");
        }
        const Token& number = t.Next();
        numbered.id = number.number;
        numbered.id_where = number.where;
    }

    // A text, continued by the following lines that are indented under it and hold a text
    // alone; each continuation starts a new line of the text.
    std::string Text(const Line& line, Tokens& t) {
        if (!t.PeekIs(Token::Type::kString)) {
            Fail(t.Here(), "expected a text in double quotes");
        }
        std::string text = t.Next().text;
        ExpectEnd(t);
        while (pos_ < lines_.size() && lines_[pos_].indent > line.indent &&
               lines_[pos_].tokens.front().type == Token::Type::kString) {
            const Line& more = lines_[pos_++];
            if (more.tokens.size() > 1 && !more.broken) {
                Error(more.tokens[1].where, "a continued text stands alone on its line");
            }
            text += '\n';
            text += more.tokens.front().text;
        }
        return text;
    }

    // Tokens from here to the end of the line, and on from the lines under it while a line
    // ends with a comma: long lists may be broken after any comma.
    std::vector<Token> ListTokens(const Line& line, Tokens& t) {
        std::vector<Token> tokens;
        while (!t.AtEnd()) {
            tokens.push_back(t.Next());
        }
        while (!tokens.empty() && tokens.back().type == Token::Type::kComma &&
               pos_ < lines_.size() && lines_[pos_].indent > line.indent) {
            const Line& more = lines_[pos_++];
            tokens.insert(tokens.end(), more.tokens.begin(), more.tokens.end());
        }
        return tokens;
    }

    // Items separated by commas up to a final ':' (required or forbidden by `colon`). An item is
    // a text in quotes or words written plainly, which stand for themselves joined by spaces.
    std::vector<Phrase> PhraseList(const std::vector<Token>& tokens, std::size_t& i,
                                   bool words_only) {
        std::vector<Phrase> items;
        while (i < tokens.size() && tokens[i].type != Token::Type::kColon) {
            Phrase item;
            item.where = tokens[i].where;
            if (tokens[i].type == Token::Type::kString && !words_only) {
                item.text = tokens[i++].text;
            } else if (tokens[i].type == Token::Type::kWord ||
                       (tokens[i].type == Token::Type::kNumber && !words_only)) {
                std::string words;
                while (i < tokens.size() &&
                       (tokens[i].type == Token::Type::kWord ||
                        (tokens[i].type == Token::Type::kNumber && !words_only))) {
                    if (!words.empty()) {
                        if (words_only) {
                            Fail(tokens[i].where, "expected ',' between names");
                        }
                        words += ' ';
                    }
                    words += tokens[i++].text;
                }
                item.text = words_only ? words : Utf8ToCp1251Lossy(words);
            } else {
                Fail(tokens[i].where, "unexpected " + Describe(tokens[i]) + " in a list");
            }
            items.push_back(std::move(item));
            if (i < tokens.size() && tokens[i].type == Token::Type::kComma) {
                ++i;
                if (i >= tokens.size() || tokens[i].type == Token::Type::kColon) {
                    Fail(i < tokens.size() ? tokens[i].where : tokens.back().where,
                         "expected another item after ','");
                }
            } else if (i < tokens.size() && tokens[i].type != Token::Type::kColon) {
                Fail(tokens[i].where, "expected ',' or ':'");
            }
        }
        return items;
    }

    void TopLevel(const Line& line, Tokens& t) {
        if (!t.PeekIs(Token::Type::kWord)) {
            Fail(line.where, "expected info, start, global, arrival, verb, flag or location");
        }
        const Token& keyword = t.Next();
        const std::string& word = keyword.text;
        if (word == "info") {
            if (game_.info) {
                Fail(keyword.where, "info is given twice");
            }
            game_.info = Text(line, t);
        } else if (word == "start" || word == "global" || word == "arrival") {
            std::optional<Name>& slot = word == "start"    ? game_.start
                                        : word == "global" ? game_.global
                                                           : game_.arrival;
            if (slot) {
                Fail(keyword.where, word + " is given twice");
            }
            try {
                Name name = ExpectName(t, word == "arrival" ? "a verb" : "a location", true);
                ExpectEnd(t);
                slot = std::move(name);
            } catch (const LineError&) {
                game_.broken_keywords.insert(word);
                throw;
            }
        } else if (word == "verb") {
            SourceVerb verb;
            try {
                verb.head.name = ExpectName(t, "a verb");
            } catch (const LineError&) {
                NoteBrokenDeclaration(line);
                throw;
            }
            try {
                OptionalNumber(t, verb.head);
                if (!t.AtEnd()) {
                    ExpectColon(t);
                    const std::vector<Token> tokens = ListTokens(line, t);
                    std::size_t i = 0;
                    verb.synonyms = PhraseList(tokens, i, false);
                    if (verb.synonyms.empty()) {
                        Fail(t.Here(), "expected synonyms after ':'");
                    }
                    if (i < tokens.size()) {
                        Fail(tokens[i].where, "unexpected ':'");
                    }
                }
            } catch (const LineError&) {
                // The name itself is good: declared, its uses resolve.
                game_.verbs.push_back(std::move(verb));
                throw;
            }
            game_.verbs.push_back(std::move(verb));
        } else if (word == "flag") {
            const std::vector<Token> tokens = ListTokens(line, t);
            std::size_t i = 0;
            do {
                if (i > 0) {
                    ++i;  // the comma
                }
                if (i >= tokens.size() || tokens[i].type != Token::Type::kWord) {
                    Fail(i < tokens.size() ? tokens[i].where : t.Here(), "expected a flag name");
                }
                Numbered flag;
                flag.name = Name{tokens[i].text, tokens[i].where};
                game_.names.push_back(flag.name);
                if (IsReserved(flag.name.text)) {
                    Fail(flag.name.where,
                         "'" + flag.name.text + "' is a reserved word and cannot name a flag");
                }
                ++i;
                if (i + 1 < tokens.size() && tokens[i].type == Token::Type::kEquals) {
                    if (tokens[i + 1].type != Token::Type::kNumber) {
                        Fail(tokens[i + 1].where, "expected a number after '='");
                    }
                    flag.id = tokens[i + 1].number;
                    flag.id_where = tokens[i + 1].where;
                    i += 2;
                }
                game_.flag_mentions.push_back(flag.name);
                game_.flag_declarations.push_back(std::move(flag));
            } while (i < tokens.size() && tokens[i].type == Token::Type::kComma);
            if (i < tokens.size()) {
                Fail(tokens[i].where, "expected ',' between flags");
            }
        } else if (word == "location") {
            SourceLocation location;
            try {
                location.head.name = ExpectName(t, "a location");
            } catch (const LineError&) {
                NoteBrokenDeclaration(line);
                throw;
            }
            try {
                OptionalNumber(t, location.head);
                if (t.PeekIs(Token::Type::kString)) {
                    location.title = t.Next().text;
                } else if (t.PeekIs(Token::Type::kWord) || t.PeekIs(Token::Type::kNumber)) {
                    const Where at = t.Here();
                    std::string words;
                    while (t.PeekIs(Token::Type::kWord) || t.PeekIs(Token::Type::kNumber)) {
                        words += (words.empty() ? "" : " ") + t.Next().text;
                    }
                    Error(at, "a title is written in double quotes: \"" + words + "\"");
                    location.title = Utf8ToCp1251Lossy(words);
                }
                if (t.PeekIs(Token::Type::kColon)) {
                    t.Next();
                }
                ExpectEnd(t);
            } catch (const LineError&) {
                // Reported; the name is good, so the location and its block are read on.
            }
            // The location is kept even when its block has mistakes, so that jumps to it resolve.
            game_.locations.push_back(std::move(location));
            const std::size_t index = game_.locations.size() - 1;
            Block(line.indent, [&](const Line& inner, Tokens& it) {
                game_.locations[index].sections.push_back(ObjectLine(inner, it));
            });
        } else {
            NoteBrokenDeclaration(line);
            const std::string hint = KeywordHint(word, TopLevelKeywords());
            if (!hint.empty()) {
                game_.broken_keywords.insert(suggester_.match());
                Fail(keyword.where, "unknown keyword '" + word + "'" + hint);
            }
            Fail(keyword.where,
                 "expected info, start, global, arrival, verb, flag or location, "
                 "found '" +
                     word + "'");
        }
    }

    SourceSection ObjectLine(const Line& line, Tokens& t) {
        if (!t.PeekWord("object")) {
            Fail(line.where, "expected 'object' in a location" + FirstWordHint(t, "object"));
        }
        SourceSection section;
        section.where = t.Next().where;
        const std::vector<Token> tokens = ListTokens(line, t);
        std::size_t i = 0;
        section.phrases = PhraseList(tokens, i, false);
        if (section.phrases.empty()) {
            // "object:" alone is the empty phrase: a verb typed alone, and every arrival.
            section.phrases.push_back(Phrase{"", section.where});
        }
        if (i >= tokens.size()) {
            Fail(section.where, "expected ':' after the phrases");
        }
        if (i + 1 < tokens.size()) {
            Fail(tokens[i + 1].where, "unexpected " + Describe(tokens[i + 1]) + " after ':'");
        }
        Block(line.indent, [&](const Line& inner, Tokens& it) {
            section.reactions.push_back(OnLine(inner, it));
        });
        return section;
    }

    SourceReaction OnLine(const Line& line, Tokens& t) {
        if (!t.PeekWord("on")) {
            Fail(line.where, "expected 'on' in an object" + FirstWordHint(t, "on"));
        }
        SourceReaction reaction;
        reaction.where = t.Next().where;
        const std::vector<Token> tokens = ListTokens(line, t);
        std::size_t i = 0;
        for (Phrase& verb : PhraseList(tokens, i, true)) {
            reaction.verbs.push_back(Name{verb.text, verb.where});
            game_.names.push_back(reaction.verbs.back());
        }
        if (reaction.verbs.empty()) {
            Fail(reaction.where, "expected verb names after 'on'");
        }
        if (i >= tokens.size()) {
            Fail(tokens.back().where, "expected ':' after the verbs");
        }
        if (i + 1 < tokens.size()) {
            Fail(tokens[i + 1].where, "unexpected " + Describe(tokens[i + 1]) + " after ':'");
        }
        reaction.body = Statements(line, 0, reaction.where, "'on'");
        return reaction;
    }

    std::vector<SourceStatement> Statements(const Line& owner, int depth, const Where& where,
                                            const char* what) {
        std::vector<SourceStatement> body;
        if (!HasBlock(owner.indent)) {
            Error(where, std::string("expected statements indented under ") + what +
                             " (write 'pass' for none)");
            return body;
        }
        Block(owner.indent,
              [&](const Line& inner, Tokens& it) { StatementLine(inner, it, depth, body); });
        return body;
    }

    void StatementLine(const Line& line, Tokens& t, int depth, std::vector<SourceStatement>& out) {
        if (!t.PeekIs(Token::Type::kWord)) {
            Fail(line.where, "expected a statement");
        }
        const Token& keyword = t.Next();
        const std::string& word = keyword.text;
        SourceStatement s;
        s.where = keyword.where;
        if (word == "pass") {
            ExpectEnd(t);
            return;
        }
        if (word == "text") {
            s.kind = Kind::kText;
            s.text = Text(line, t);
        } else if (word == "center") {
            if (t.PeekWord("on") || t.PeekWord("off")) {
                s.kind = t.Next().text == "on" ? Kind::kCenterOn : Kind::kCenterOff;
            } else {
                Fail(t.Here(), "expected 'on' or 'off' after 'center'");
            }
        } else if (word == "clear") {
            if (t.PeekWord("screen")) {
                t.Next();
                s.kind = Kind::kClearScreen;
            } else if (t.PeekWord("flags")) {
                t.Next();
                s.kind = Kind::kClearAllFlags;
            } else {
                s.kind = Kind::kClearFlag;
                s.name = FlagName(t);
            }
        } else if (word == "set") {
            s.kind = Kind::kSetFlag;
            s.name = FlagName(t);
        } else if (word == "jump") {
            s.kind = Kind::kJump;
            s.name = ExpectName(t, "a location", true);
        } else if (word == "if") {
            IfLine(line, t, depth, s);
            out.push_back(std::move(s));
            return;
        } else if (word == "else") {
            Fail(keyword.where, "'else' without an 'if' just above it");
        } else {
            Fail(keyword.where,
                 "unknown statement '" + word + "'" + KeywordHint(word, StatementKeywords()));
        }
        ExpectEnd(t);
        out.push_back(std::move(s));
    }

    Name FlagName(Tokens& t) {
        Name name = ExpectName(t, "a flag");
        game_.flag_mentions.push_back(name);
        return name;
    }

    // "if [not] flag:" with its block, then an optional "else:" (or "else if ...:") at the same
    // indentation right after it.
    void IfLine(const Line& line, Tokens& t, int depth, SourceStatement& s) {
        if (depth >= kMaxSourceNesting) {
            Fail(s.where,
                 "conditions nested deeper than " + std::to_string(kMaxSourceNesting) + " levels");
        }
        s.kind = Kind::kIf;
        if (t.PeekWord("not")) {
            t.Next();
            s.negate = true;
        }
        s.name = FlagName(t);
        ExpectColon(t);
        ExpectEnd(t);
        s.then_body = Statements(line, depth + 1, s.where, "'if'");
        if (pos_ >= lines_.size() || lines_[pos_].indent != line.indent ||
            lines_[pos_].tokens.front().type != Token::Type::kWord ||
            lines_[pos_].tokens.front().text != "else") {
            return;
        }
        const Line& else_line = lines_[pos_++];
        s.has_else = true;
        Guarded(else_line, [&](Tokens& et) {
            const Where else_where = et.Next().where;
            if (et.PeekWord("if")) {
                SourceStatement nested;
                nested.where = et.Next().where;
                IfLine(else_line, et, depth + 1, nested);
                s.else_body.push_back(std::move(nested));
                return;
            }
            ExpectColon(et);
            ExpectEnd(et);
            s.else_body = Statements(else_line, depth + 1, else_where, "'else'");
        });
    }

    std::string FirstWordHint(const Tokens& t, const std::string& keyword) {
        return t.PeekIs(Token::Type::kWord) ? KeywordHint(t.Peek()->text, {keyword}) : "";
    }

    std::vector<Line> lines_;
    std::size_t pos_ = 0;
    std::vector<Finding>& findings_;
    SourceGame game_;
    Suggester suggester_;
};

// Gives numbers to names: explicit ones first, then the others in order, each the smallest
// number not yet taken, from `first` up to `last`.
class Numbering {
  public:
    Numbering(long long first, long long last, const char* what, std::vector<Finding>& findings)
        : first_(first), last_(last), what_(what), findings_(findings) {}

    // Returns false (after reporting) when the name or number is taken or out of range.
    bool Claim(const Name& name, long long id, const Where& where) {
        if (ids_.count(name.text) != 0) {
            Error(name.where, std::string(what_) + " '" + name.text + "' is declared twice");
            return false;
        }
        if (reserved_ && id == reserved_->first) {
            findings_.push_back(
                Finding{Severity::kWarning, FileKind::kSource, where, reserved_->second});
        }
        if (id < first_ || id > last_) {
            Error(where, std::string(what_) + " number " + std::to_string(id) +
                             " is out of range " + std::to_string(first_) + " to " +
                             std::to_string(last_));
            // Known by name all the same, so that its uses do not add errors of their own.
            Auto(name);
            return false;
        }
        if (const auto other = taken_.find(id); other != taken_.end()) {
            Error(where, std::string(what_) + " number " + std::to_string(id) +
                             " is already given to '" + other->second + "'");
            Auto(name);
            return false;
        }
        ids_[name.text] = id;
        taken_[id] = name.text;
        return true;
    }

    void Auto(const Name& name) {
        if (ids_.count(name.text) != 0) {
            return;
        }
        while (next_ <= last_ && taken_.count(next_) != 0) {
            ++next_;
        }
        if (next_ > last_) {
            Error(name.where, std::string("too many of kind ") + what_);
            ids_[name.text] = first_;
            return;
        }
        ids_[name.text] = next_;
        taken_[next_] = name.text;
    }

    // A number that draws a warning when given explicitly. Numbers given automatically count
    // up from the start, so they never reach one below it.
    void Reserve(long long id, std::string warning) { reserved_.emplace(id, std::move(warning)); }
    void StartAt(long long id) { next_ = id; }
    std::optional<long long> Find(const std::string& name) const {
        const auto found = ids_.find(name);
        return found == ids_.end() ? std::nullopt : std::optional<long long>(found->second);
    }
    const std::map<std::string, long long>& All() const { return ids_; }
    std::string NameOf(long long id) const {
        const auto found = taken_.find(id);
        return found == taken_.end() ? std::to_string(id) : found->second;
    }

  private:
    void Error(const Where& where, std::string message) {
        findings_.push_back(
            Finding{Severity::kError, FileKind::kSource, where, std::move(message)});
    }

    long long first_;
    long long last_;
    long long next_ = 0;
    std::optional<std::pair<long long, std::string>> reserved_;
    const char* what_;
    std::vector<Finding>& findings_;
    std::map<std::string, long long> ids_;
    std::map<long long, std::string> taken_;
};

class Resolver {
  public:
    explicit Resolver(std::vector<Finding>& findings)
        : findings_(findings),
          verbs_(-32768, 32767, "verb", findings),
          locations_(0, 65535, "location", findings),
          flags_(0, 32767, "flag", findings) {
        // -1 is what the interpreter answers for "no verb": typed synonyms of it never match.
        // It stays possible, explicitly, because a game may use it as its arrival verb.
        verbs_.Reserve(-1,
                       "verb number -1 is the interpreter's answer for an unknown verb: typed "
                       "commands never reach its reactions, only an arrival verb of -1 does");
        verbs_.StartAt(1);
    }

    GameData Run(const SourceGame& source) {
        broken_locations_ = &source.broken_locations;
        broken_verbs_ = &source.broken_verbs;
        Number(source);
        GameData game;
        for (const SourceVerb& verb : source.verbs) {
            VerbGroup group;
            group.id = static_cast<std::int16_t>(verbs_.Find(verb.head.name.text).value_or(0));
            group.synonyms = verb.synonyms;
            group.where = verb.head.name.where;
            game.vocabulary.groups.push_back(std::move(group));
        }
        Scenario& scenario = game.scenario;
        scenario.info = source.info.value_or("");
        for (const SourceLocation& location : source.locations) {
            Location out;
            out.id = LocationId(location.head.name);
            out.name = location.title.value_or(Utf8ToCp1251Lossy(location.head.name.text));
            out.where = location.head.name.where;
            for (const SourceSection& section : location.sections) {
                Section s;
                s.phrases = section.phrases;
                s.where = section.where;
                for (const SourceReaction& reaction : section.reactions) {
                    Reaction r;
                    r.where = reaction.where;
                    for (const Name& verb : reaction.verbs) {
                        r.verbs.push_back(VerbUse{VerbId(verb), verb.where});
                    }
                    r.statements = Body(reaction.body);
                    s.reactions.push_back(std::move(r));
                }
                out.sections.push_back(std::move(s));
            }
            scenario.locations.push_back(std::move(out));
        }
        if (source.global) {
            scenario.global = LocationId(*source.global);
            scenario.global_where = source.global->where;
        } else {
            // Without a global location the game still needs a block for one; an empty one
            // at the end changes nothing in play.
            Location global;
            const Name nameless{"", Where{}};
            locations_.Auto(nameless);
            global.id = static_cast<std::uint16_t>(locations_.Find("").value_or(0));
            scenario.global = global.id;
            scenario.locations.push_back(std::move(global));
        }
        if (source.start) {
            scenario.start = LocationId(*source.start);
            scenario.start_where = source.start->where;
        } else if (source.broken_keywords.count("start") == 0) {
            Error(Pos(1, 1), "no start location: add 'start' with a location's name");
        }
        if (source.arrival) {
            scenario.arrival = VerbId(*source.arrival);
            scenario.arrival_where = source.arrival->where;
        } else if (source.broken_keywords.count("arrival") == 0) {
            Error(Pos(1, 1), "no arrival verb: add 'arrival' with the verb run on entering");
        }
        return game;
    }

    const Numbering& verbs() const { return verbs_; }
    const Numbering& locations() const { return locations_; }
    const Numbering& flags() const { return flags_; }
    // Whether a name was reported as unknown (or unknowable) somewhere.
    bool Unresolved(const std::string& name) const { return unresolved_.count(name) != 0; }

  private:
    void Error(const Where& where, std::string message) {
        findings_.push_back(
            Finding{Severity::kError, FileKind::kSource, where, std::move(message)});
    }

    // True (after reporting) when the name was declared before; the first declaration stands.
    bool Twice(std::map<std::string, Where>& first, const Name& name, const char* what) {
        const auto [at, inserted] = first.emplace(name.text, name.where);
        if (inserted) {
            return false;
        }
        Error(name.where, std::string(what) + " '" + name.text + "' is declared twice (first at " +
                              std::to_string(at->second.line) + ":" +
                              std::to_string(at->second.column) + ")");
        return true;
    }

    // Explicit numbers first, then the others in order; only the first declaration of a name
    // counts, whichever of its declarations has a number.
    static void NumberAll(Numbering& numbering, const std::vector<const Numbered*>& heads) {
        for (const Numbered* head : heads) {
            if (head->id) {
                numbering.Claim(head->name, *head->id, head->id_where);
            }
        }
        for (const Numbered* head : heads) {
            if (!head->id) {
                numbering.Auto(head->name);
            }
        }
    }

    void Number(const SourceGame& source) {
        std::map<std::string, Where> first;
        std::vector<const Numbered*> heads;
        for (const SourceVerb& verb : source.verbs) {
            if (!Twice(first, verb.head.name, "verb")) {
                heads.push_back(&verb.head);
                known_verbs_.push_back(verb.head.name.text);
            }
        }
        NumberAll(verbs_, heads);
        first.clear();
        heads.clear();
        for (const SourceLocation& location : source.locations) {
            if (!Twice(first, location.head.name, "location")) {
                heads.push_back(&location.head);
                known_locations_.push_back(location.head.name.text);
            }
        }
        NumberAll(locations_, heads);
        first.clear();
        std::vector<std::string> declared;
        for (const Numbered& flag : source.flag_declarations) {
            if (!Twice(first, flag.name, "flag")) {
                declared.push_back(flag.name.text);
                if (flag.id) {
                    flags_.Claim(flag.name, *flag.id, flag.id_where);
                }
            }
        }
        for (const Name& flag : source.flag_mentions) {
            flags_.Auto(flag);
            // A game that declares its flags lists them all, as a rule: a flag missing from the
            // list and close to one in it is most likely a slip.
            if (!declared.empty() && first.count(flag.text) == 0 &&
                hinted_flags_.insert(flag.text).second) {
                const std::string hint = suggester_.Suggest(flag.text, declared);
                if (hint.rfind("; it has", 0) == 0) {
                    unresolved_.insert(flag.text);  // the hint names its look-alike letters
                }
                if (!hint.empty()) {
                    findings_.push_back(Finding{Severity::kWarning, FileKind::kSource, flag.where,
                                                "flag '" + flag.text + "' is not declared" + hint});
                }
            }
        }
    }

    // Reports a name of a kind that is not declared, unless a broken declaration explains it.
    void Unknown(const Name& name, const char* what, const std::set<std::string>* broken,
                 const std::vector<std::string>& known) {
        unresolved_.insert(name.text);
        if (broken != nullptr && broken->count(name.text) != 0) {
            return;
        }
        if (IsReserved(name.text)) {
            Error(name.where, "'" + name.text + "' is a reserved word and cannot name a " + what);
            return;
        }
        Error(name.where, std::string("unknown ") + what + " '" + name.text + "'" +
                              suggester_.Suggest(name.text, known));
    }

    std::uint16_t LocationId(const Name& name) {
        if (const auto id = locations_.Find(name.text)) {
            return static_cast<std::uint16_t>(*id);
        }
        Unknown(name, "location", broken_locations_, known_locations_);
        return 0;
    }

    std::int16_t VerbId(const Name& name) {
        if (const auto id = verbs_.Find(name.text)) {
            return static_cast<std::int16_t>(*id);
        }
        Unknown(name, "verb", broken_verbs_, known_verbs_);
        return 0;
    }

    std::int16_t FlagId(const Name& name) {
        return static_cast<std::int16_t>(flags_.Find(name.text).value_or(0));
    }

    std::vector<Statement> Body(const std::vector<SourceStatement>& body) {
        std::vector<Statement> out;
        for (const SourceStatement& s : body) {
            Statement r;
            r.kind = s.kind;
            r.text = s.text;
            r.where = s.name.text.empty() ? s.where : s.name.where;
            switch (s.kind) {
                case Kind::kSetFlag:
                case Kind::kClearFlag:
                    r.flag = FlagId(s.name);
                    break;
                case Kind::kJump:
                    r.location = LocationId(s.name);
                    break;
                case Kind::kIf: {
                    r.flag = FlagId(s.name);
                    std::vector<Statement> then_body = Body(s.then_body);
                    std::vector<Statement> else_body = Body(s.else_body);
                    if (s.negate) {
                        std::swap(then_body, else_body);
                    }
                    // "if not" and "else" need both branches; a plain "if" needs only one.
                    if (s.negate || s.has_else) {
                        r.kind = Kind::kIfElse;
                        r.else_body = std::move(else_body);
                    }
                    r.then_body = std::move(then_body);
                    break;
                }
                case Kind::kText:
                case Kind::kCenterOn:
                case Kind::kCenterOff:
                case Kind::kClearScreen:
                case Kind::kClearAllFlags:
                case Kind::kIfElse:
                case Kind::kUnknown:
                    // Their operands, if any, were taken above or come from the parse as they
                    // are; the source language writes an if with an else as kIf.
                    break;
            }
            out.push_back(std::move(r));
        }
        return out;
    }

    std::vector<Finding>& findings_;
    Numbering verbs_;
    Numbering locations_;
    Numbering flags_;
    const std::set<std::string>* broken_locations_ = nullptr;
    const std::set<std::string>* broken_verbs_ = nullptr;
    std::vector<std::string> known_verbs_;
    std::vector<std::string> known_locations_;
    std::set<std::string> hinted_flags_;
    std::set<std::string> unresolved_;
    Suggester suggester_;
};

// The line and column of a byte of the source, as the lexer counts them.
Where PositionOf(std::string_view source, std::size_t offset) {
    const std::size_t line_start = source.rfind('\n', offset == 0 ? 0 : offset - 1);
    std::size_t pos = line_start == std::string_view::npos || offset == 0 ? 0 : line_start + 1;
    if (pos == 0 && source.substr(0, 3) == "\xEF\xBB\xBF" && offset >= 3) {
        pos = 3;
    }
    const int line = 1 + static_cast<int>(std::count(
                             source.begin(), source.begin() + static_cast<long>(pos), '\n'));
    int column = 1;
    while (pos < offset) {
        char32_t ignored = 0;
        NextUtf8(source, pos, ignored);
        ++column;
    }
    return Pos(line, column);
}

// The offset of the first byte that is not UTF-8, when the source is not UTF-8 but code page
// 1251: most bytes that fail are Cyrillic letters of that code page, and they stand together
// as words, which UTF-8 never has. A source with a stray bad byte or two is only broken UTF-8.
std::optional<std::size_t> Cp1251Offset(std::string_view source) {
    std::size_t bad = 0;
    std::size_t letters = 0;
    std::size_t in_words = 0;
    std::size_t good_wide = 0;
    std::size_t run = 0;
    std::optional<std::size_t> first;
    const auto end_run = [&] {
        in_words += run >= 2 ? run : 0;
        run = 0;
    };
    for (std::size_t pos = 0; pos < source.size();) {
        const std::size_t at = pos;
        char32_t c = 0;
        if (NextUtf8(source, pos, c)) {
            end_run();
            good_wide += c >= 0x80 ? 1 : 0;
            continue;
        }
        first = first.value_or(at);
        ++bad;
        const auto byte = static_cast<unsigned char>(source[at]);
        if (byte >= 0xC0 || byte == 0xA8 || byte == 0xB8) {
            ++letters;
            ++run;
        } else {
            end_run();
        }
    }
    end_run();
    if (bad == 0 || good_wide >= bad || letters * 5 < bad * 4 || in_words * 2 < bad ||
        in_words < 2) {
        return std::nullopt;
    }
    return first;
}

}  // namespace

std::optional<SourceEncoding> ParseSourceEncoding(std::string_view name) {
    std::string lower;
    for (const char ch : name) {
        lower += ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
    }
    if (lower == "utf-8" || lower == "utf8") {
        return SourceEncoding::kUtf8;
    }
    if (lower == "cp1251" || lower == "windows-1251") {
        return SourceEncoding::kCp1251;
    }
    return std::nullopt;
}

CompileResult Compile(std::string_view source, SourceEncoding encoding) {
    CompileResult result;
    const auto refuse = [&](const Where& where, std::string message) {
        result.findings.push_back(
            Finding{Severity::kError, FileKind::kSource, where, std::move(message)});
        return result;
    };
    if (source.size() > kMaxSourceSize) {
        return refuse(Pos(1, 1),
                      "source is larger than " + std::to_string(kMaxSourceSize >> 20) + " MiB");
    }
    std::string converted;
    if (encoding == SourceEncoding::kCp1251) {
        // Read as code page 1251, a UTF-8 file would compile into nonsense without a word said.
        const auto wide =
            std::find_if(source.begin(), source.end(), [](char ch) { return (ch & 0x80) != 0; });
        if (wide != source.end() && IsUtf8(source)) {
            return refuse(PositionOf(source, static_cast<std::size_t>(wide - source.begin())),
                          "the file is UTF-8 already: build it without '--encoding cp1251'");
        }
        converted = Cp1251ToUtf8(source);
        source = converted;
    } else if (const auto bad = Cp1251Offset(source)) {
        // Read as UTF-8, nearly every letter of it would be an error of its own.
        return refuse(PositionOf(source, *bad),
                      "the file is not UTF-8 but reads as code page 1251 (Windows Cyrillic): "
                      "save it as UTF-8, or build with '--encoding cp1251'");
    }
    Lexer lexer(result.findings);
    Parser parser(lexer.Run(source), result.findings);
    const SourceGame game = parser.Run();
    Resolver resolver(result.findings);
    result.game = resolver.Run(game);
    // A name written partly in Latin letters looks right and is another name; said once, where
    // it first stands, unless an error about it says so already.
    std::set<std::string> seen;
    for (const Name& name : game.names) {
        if (!seen.insert(name.text).second || resolver.Unresolved(name.text)) {
            continue;
        }
        const std::string letters = MixedScriptLetters(name.text);
        if (!letters.empty()) {
            result.findings.push_back(
                Finding{Severity::kWarning, FileKind::kSource, name.where,
                        "name '" + name.text + "' mixes Cyrillic and Latin letters: " + letters});
        }
    }
    result.verb_numbers = resolver.verbs().All();
    result.location_numbers = resolver.locations().All();
    result.flag_numbers = resolver.flags().All();

    if (!HasErrors(result.findings)) {
        LintNames names;
        names.flag = [&](std::int16_t id) { return resolver.flags().NameOf(id); };
        names.verb = [&](std::int16_t id) { return resolver.verbs().NameOf(id); };
        names.location = [&](std::uint16_t id) { return resolver.locations().NameOf(id); };
        const std::size_t first = result.findings.size();
        LintGame(result.game, result.findings, names);
        std::set<std::pair<int, int>> suggested;
        for (std::size_t i = first; i < result.findings.size(); ++i) {
            Finding& finding = result.findings[i];
            finding.file = FileKind::kSource;
            if (finding.message.find("did you mean") != std::string::npos) {
                suggested.emplace(finding.where.line, finding.where.column);
            }
        }
        // A flag misspelt at a set is said once: the lint's word on it (never tested, did you
        // mean) says more than "not declared" does.
        const auto said_twice = [&](const Finding& finding) {
            return finding.message.find("' is not declared; did you mean") != std::string::npos &&
                   suggested.count({finding.where.line, finding.where.column}) > 0;
        };
        result.findings.erase(std::remove_if(result.findings.begin(),
                                             result.findings.begin() +
                                                 static_cast<std::ptrdiff_t>(first),
                                             said_twice),
                              result.findings.begin() + static_cast<std::ptrdiff_t>(first));
    }
    std::stable_sort(result.findings.begin(), result.findings.end(),
                     [](const Finding& a, const Finding& b) {
                         return std::pair(a.where.line, a.where.column) <
                                std::pair(b.where.line, b.where.column);
                     });
    if (HasErrors(result.findings)) {
        return result;
    }
    auto commands = WriteCommands(result.game.vocabulary);
    auto scenario = WriteScenario(result.game.scenario);
    if (!commands || !scenario) {
        result.findings.push_back(Finding{Severity::kError, FileKind::kSource, Pos(1, 1),
                                          "the game is too large for the data files"});
        return result;
    }
    result.commands = std::move(*commands);
    result.scenario = std::move(*scenario);
    result.ok = true;
    return result;
}

std::string FormatFinding(std::string_view file_name, const Finding& finding) {
    std::string out(file_name);
    if (finding.where.line > 0) {
        out +=
            ":" + std::to_string(finding.where.line) + ":" + std::to_string(finding.where.column);
    } else if (finding.where.offset >= 0) {
        out += ": offset " + std::to_string(finding.where.offset);
    }
    out += finding.severity == Severity::kError ? ": error: " : ": warning: ";
    out += finding.message;
    return out;
}

}  // namespace narravox::ply
