// SPDX-License-Identifier: MIT
#include "compiler.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "cp1251.h"
#include "lint.h"
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

std::string Show(char32_t c) {
    std::string out;
    if (c < 0x20 || c == 0x7F) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
        return buffer;
    }
    AppendUtf8(out, c);
    return "'" + out + "'";
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
                c = 0xFFFD;
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
        while (i < chars.size()) {
            const char32_t c = chars[i];
            const int column = static_cast<int>(i) + 1;
            Token token;
            token.where = Pos(number, column);
            if (c == '#') {
                break;
            }
            if (c == ' ' || c == '\t') {
                ++i;
                continue;
            }
            if (c == ':' || c == ',' || c == '=') {
                token.type = c == ':'   ? Token::Type::kColon
                             : c == ',' ? Token::Type::kComma
                                        : Token::Type::kEquals;
                token.text = std::string(1, static_cast<char>(c));
                ++i;
            } else if (c == '"') {
                token.type = Token::Type::kString;
                if (!LexString(chars, i, number, token.text)) {
                    line.broken = true;
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
                while (i < chars.size() && IsWordPart(chars[i])) {
                    AppendUtf8(token.text, chars[i]);
                    ++i;
                }
            } else {
                Error(number, column,
                      "unexpected character " + Show(c) +
                          (c >= 0x400 && c <= 0x4FF ? "; code page 1251 lacks it" : ""));
                ++i;
                continue;
            }
            if (line.tokens.empty()) {
                line.where = token.where;
            }
            line.tokens.push_back(std::move(token));
        }
        return line;
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

    // Reads a quoted string starting at chars[i] == '"' into code page 1251 bytes.
    bool LexString(const std::vector<char32_t>& chars, std::size_t& i, int number,
                   std::string& out) {
        const int open_column = static_cast<int>(i) + 1;
        ++i;
        while (i < chars.size()) {
            const char32_t c = chars[i];
            const int column = static_cast<int>(i) + 1;
            if (c == '"') {
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
                Error(number, column, "control character " + Show(c) + " in a text; use \\xHH");
            } else if (const auto byte = UnicodeToCp1251(c)) {
                out += static_cast<char>(*byte);
            } else if (c != 0xFFFD) {
                Error(number, column, "character " + Show(c) + " is not in code page 1251");
            }
            ++i;
        }
        Error(number, open_column, "unterminated text: the closing '\"' is missing");
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
        const Token& last = line_.tokens.back();
        Where where = last.where;
        if (last.type == Token::Type::kString) {
            where.column += static_cast<int>(last.text.size()) + 2;
        } else {
            // Words are UTF-8: count characters, not bytes.
            for (const char ch : last.text) {
                where.column += (static_cast<unsigned char>(ch) & 0xC0) != 0x80 ? 1 : 0;
            }
        }
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
            if (line.indent > 0) {
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

    Name ExpectName(Tokens& t, const char* what) {
        if (!t.PeekIs(Token::Type::kWord)) {
            Fail(t.Here(), std::string("expected ") + what + " name" +
                               (t.AtEnd() ? "" : ", found " + Describe(*t.Peek())));
        }
        const Token& token = t.Next();
        if (IsReserved(token.text)) {
            Fail(token.where, "'" + token.text + "' is a reserved word and cannot name " + what);
        }
        return Name{token.text, token.where};
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
            if (more.tokens.size() > 1) {
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
            Name name = ExpectName(t, word == "arrival" ? "a verb" : "a location");
            ExpectEnd(t);
            slot = std::move(name);
        } else if (word == "verb") {
            SourceVerb verb;
            verb.head.name = ExpectName(t, "a verb");
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
            location.head.name = ExpectName(t, "a location");
            OptionalNumber(t, location.head);
            if (t.PeekIs(Token::Type::kString)) {
                location.title = t.Next().text;
            }
            if (t.PeekIs(Token::Type::kColon)) {
                t.Next();
            }
            ExpectEnd(t);
            // The location is kept even when its block has mistakes, so that jumps to it resolve.
            game_.locations.push_back(std::move(location));
            const std::size_t index = game_.locations.size() - 1;
            Block(line.indent, [&](const Line& inner, Tokens& it) {
                game_.locations[index].sections.push_back(ObjectLine(inner, it));
            });
        } else {
            Fail(keyword.where,
                 "expected info, start, global, arrival, verb, flag or location, "
                 "found '" +
                     word + "'");
        }
    }

    SourceSection ObjectLine(const Line& line, Tokens& t) {
        if (!t.PeekWord("object")) {
            Fail(line.where, "expected 'object' in a location");
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
            Fail(line.where, "expected 'on' in an object");
        }
        SourceReaction reaction;
        reaction.where = t.Next().where;
        const std::vector<Token> tokens = ListTokens(line, t);
        std::size_t i = 0;
        for (Phrase& verb : PhraseList(tokens, i, true)) {
            reaction.verbs.push_back(Name{verb.text, verb.where});
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
            s.name = ExpectName(t, "a location");
        } else if (word == "if") {
            IfLine(line, t, depth, s);
            out.push_back(std::move(s));
            return;
        } else if (word == "else") {
            Fail(keyword.where, "'else' without an 'if' just above it");
        } else {
            Fail(keyword.where, "unknown statement '" + word + "'");
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

    std::vector<Line> lines_;
    std::size_t pos_ = 0;
    std::vector<Finding>& findings_;
    SourceGame game_;
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
        } else {
            Error(Pos(1, 1), "no start location: add 'start' with a location's name");
        }
        if (source.arrival) {
            scenario.arrival = VerbId(*source.arrival);
            scenario.arrival_where = source.arrival->where;
        } else {
            Error(Pos(1, 1), "no arrival verb: add 'arrival' with the verb run on entering");
        }
        return game;
    }

    const Numbering& verbs() const { return verbs_; }
    const Numbering& locations() const { return locations_; }
    const Numbering& flags() const { return flags_; }

  private:
    void Error(const Where& where, std::string message) {
        findings_.push_back(
            Finding{Severity::kError, FileKind::kSource, where, std::move(message)});
    }

    void Number(const SourceGame& source) {
        for (const SourceVerb& verb : source.verbs) {
            if (verb.head.id) {
                verbs_.Claim(verb.head.name, *verb.head.id, verb.head.id_where);
            }
        }
        for (const SourceVerb& verb : source.verbs) {
            if (!verb.head.id && !verbs_.Find(verb.head.name.text)) {
                verbs_.Auto(verb.head.name);
            } else if (!verb.head.id) {
                Error(verb.head.name.where, "verb '" + verb.head.name.text + "' is declared twice");
            }
        }
        for (const SourceLocation& location : source.locations) {
            if (location.head.id) {
                locations_.Claim(location.head.name, *location.head.id, location.head.id_where);
            }
        }
        for (const SourceLocation& location : source.locations) {
            if (!location.head.id && !locations_.Find(location.head.name.text)) {
                locations_.Auto(location.head.name);
            } else if (!location.head.id) {
                Error(location.head.name.where,
                      "location '" + location.head.name.text + "' is declared twice");
            }
        }
        std::set<std::string> declared;
        for (const Numbered& flag : source.flag_declarations) {
            if (!declared.insert(flag.name.text).second) {
                Error(flag.name.where, "flag '" + flag.name.text + "' is declared twice");
            } else if (flag.id) {
                flags_.Claim(flag.name, *flag.id, flag.id_where);
            }
        }
        for (const Name& flag : source.flag_mentions) {
            flags_.Auto(flag);
        }
    }

    std::uint16_t LocationId(const Name& name) {
        if (const auto id = locations_.Find(name.text)) {
            return static_cast<std::uint16_t>(*id);
        }
        Error(name.where, "unknown location '" + name.text + "'");
        return 0;
    }

    std::int16_t VerbId(const Name& name) {
        if (const auto id = verbs_.Find(name.text)) {
            return static_cast<std::int16_t>(*id);
        }
        Error(name.where, "unknown verb '" + name.text + "'");
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
};

}  // namespace

CompileResult Compile(std::string_view source) {
    CompileResult result;
    if (source.size() > kMaxSourceSize) {
        result.findings.push_back(
            Finding{Severity::kError, FileKind::kSource, Pos(1, 1),
                    "source is larger than " + std::to_string(kMaxSourceSize >> 20) + " MiB"});
        return result;
    }
    Lexer lexer(result.findings);
    Parser parser(lexer.Run(source), result.findings);
    const SourceGame game = parser.Run();
    Resolver resolver(result.findings);
    result.game = resolver.Run(game);
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
        for (std::size_t i = first; i < result.findings.size(); ++i) {
            result.findings[i].file = FileKind::kSource;
        }
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
