// SPDX-License-Identifier: MIT
// The escape sequences that the full-screen mode reads itself, when the terminal description
// does not know what the terminal sends.
#include <gtest/gtest.h>

#include <string>

#include "escape_keys.h"

namespace narravox::term {
namespace {

// What the key reader does: characters one by one until the sequence is complete.
std::size_t CharactersRead(std::u32string_view arriving) {
    for (std::size_t count = 1; count <= arriving.size(); ++count) {
        if (IsCompleteEscapeSequence(arriving.substr(0, count))) {
            return count;
        }
    }
    return arriving.size();
}

TEST(TermEscapeKeys, EditingKeysInEveryCommonSpelling) {
    struct Case {
        std::u32string after_escape;
        EscapeKey key;
    };
    const Case cases[] = {
        // tmux, screen, PuTTY and the VT220 number them.
        {U"[1~", EscapeKey::kHome},
        {U"[4~", EscapeKey::kEnd},
        {U"[2~", EscapeKey::kInsert},
        {U"[3~", EscapeKey::kDelete},
        {U"[5~", EscapeKey::kPageUp},
        {U"[6~", EscapeKey::kPageDown},
        // rxvt.
        {U"[7~", EscapeKey::kHome},
        {U"[8~", EscapeKey::kEnd},
        {U"[7^", EscapeKey::kHome},
        {U"[3$", EscapeKey::kDelete},
        // xterm, in its normal and its application cursor mode.
        {U"[H", EscapeKey::kHome},
        {U"[F", EscapeKey::kEnd},
        {U"OH", EscapeKey::kHome},
        {U"OF", EscapeKey::kEnd},
        {U"[A", EscapeKey::kUp},
        {U"OB", EscapeKey::kDown},
        {U"[C", EscapeKey::kRight},
        {U"OD", EscapeKey::kLeft},
        // With Ctrl, Shift or Alt held, which changes nothing.
        {U"[1;5H", EscapeKey::kHome},
        {U"[3;2~", EscapeKey::kDelete},
        {U"[1;3D", EscapeKey::kLeft},
        // Function keys, the Linux console's too.
        {U"OP", EscapeKey::kF1},
        {U"[11~", EscapeKey::kF1},
        {U"OR", EscapeKey::kF3},
        {U"[13~", EscapeKey::kF3},
        {U"[15~", EscapeKey::kF5},
        {U"[17~", EscapeKey::kF6},
        {U"[21~", EscapeKey::kF10},
        {U"[24~", EscapeKey::kF12},
        {U"[[A", EscapeKey::kF1},
        {U"[[C", EscapeKey::kF3},
        {U"[[E", EscapeKey::kF5},
    };
    for (const Case& c : cases) {
        const std::string shown(c.after_escape.begin(), c.after_escape.end());
        EXPECT_EQ(CharactersRead(c.after_escape + U"x"), c.after_escape.size())
            << "ESC " << shown << " read too far or stopped short";
        const auto key = DecodeEscapeSequence(c.after_escape);
        ASSERT_TRUE(key.has_value()) << "ESC " << shown;
        EXPECT_EQ(*key, c.key) << "ESC " << shown;
    }
}

TEST(TermEscapeKeys, OtherSequencesAreReadWholeAndDropped) {
    // Each is read to its end, so that none of it is typed into the line, and stands for no key.
    const std::u32string dropped[] = {
        U"[99~",              // a number no key sends
        U"[0~",               //
        U"[200~",             // the start of a bracketed paste
        U"[?1;2c",            // a terminal's answer to a question
        U"[M",                // a mouse report's start
        U"[1;5Z",             //
        U"[12345678901234~",  // a number far too large
        U"OZ",                //
        U"[[Z",               // the Linux console has no F-key past E
    };
    for (const auto& sequence : dropped) {
        const std::string shown(sequence.begin(), sequence.end());
        EXPECT_EQ(CharactersRead(sequence + U"abc"), sequence.size()) << "ESC " << shown;
        EXPECT_FALSE(DecodeEscapeSequence(sequence).has_value()) << "ESC " << shown;
    }
}

TEST(TermEscapeKeys, EscAloneAltAndBrokenSequences) {
    // Nothing after ESC yet: the reader waits, and Esc alone is no sequence to decode.
    EXPECT_FALSE(IsCompleteEscapeSequence(U""));
    EXPECT_FALSE(DecodeEscapeSequence(U"").has_value());
    // An introducer alone or with parameters waits for more.
    EXPECT_FALSE(IsCompleteEscapeSequence(U"["));
    EXPECT_FALSE(IsCompleteEscapeSequence(U"O"));
    EXPECT_FALSE(IsCompleteEscapeSequence(U"[1"));
    EXPECT_FALSE(IsCompleteEscapeSequence(U"[1;5"));
    EXPECT_FALSE(IsCompleteEscapeSequence(U"[["));

    // Alt with a letter: ESC and that one character, dropped rather than typed.
    EXPECT_EQ(CharactersRead(U"xyz"), 1u);
    EXPECT_FALSE(DecodeEscapeSequence(U"x").has_value());
    EXPECT_EQ(CharactersRead(U"ж"), 1u);

    // A control character or a non-ASCII one inside a sequence ends it, and the broken whole
    // is dropped: Enter after a cut-off sequence must not vanish into it forever.
    EXPECT_EQ(CharactersRead(U"[1\rx"), 3u);
    EXPECT_FALSE(DecodeEscapeSequence(U"[1\r").has_value());
    EXPECT_EQ(CharactersRead(U"[1жx"), 3u);
    EXPECT_FALSE(DecodeEscapeSequence(U"[1ж").has_value());

    // A sequence that never ends is cut at the longest worth reading.
    const std::u32string endless(40, U'1');
    EXPECT_EQ(CharactersRead(U"[" + endless), kMaxEscapeSequenceLength);
    EXPECT_FALSE(
        DecodeEscapeSequence((U"[" + endless).substr(0, kMaxEscapeSequenceLength)).has_value());
}

}  // namespace
}  // namespace narravox::term
