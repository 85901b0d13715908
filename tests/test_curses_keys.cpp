#include "platform/curses_keys.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

namespace {

// The key code the game takes from a press: the character when it is printable ASCII,
// else the virtual-key code.
int game_key_code(const InputEvent& event) {
    const auto c = static_cast<signed char>(event.character);
    return c >= 32 && c <= 126 ? c : event.virtual_key;
}

struct KeyCase {
    const char* name;
    int kind;
    std::uint32_t value;
    int key_code;
};

void expect_keys(const KeyCase* cases, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const KeyCase& key = cases[i];
        const std::optional<InputEvent> event = curses_decode_key(key.kind, key.value);
        ASSERT_TRUE(event.has_value()) << key.name;
        EXPECT_TRUE(event->key_down) << key.name;
        EXPECT_EQ(game_key_code(*event), key.key_code) << key.name;
    }
}

TEST(CursesKeys, FunctionKeysGiveWindowsKeyCodes) {
    const KeyCase cases[] = {
        {"Up", KEY_CODE_YES, KEY_UP, 38},
        {"Down", KEY_CODE_YES, KEY_DOWN, 40},
        {"Left", KEY_CODE_YES, KEY_LEFT, 37},
        {"Right", KEY_CODE_YES, KEY_RIGHT, 39},
        {"Home", KEY_CODE_YES, KEY_HOME, 36},
        {"End", KEY_CODE_YES, KEY_END, 35},
        {"Page Up", KEY_CODE_YES, KEY_PPAGE, 33},
        {"Page Down", KEY_CODE_YES, KEY_NPAGE, 34},
        {"keypad 7", KEY_CODE_YES, KEY_A1, 36},
        {"keypad 3", KEY_CODE_YES, KEY_C3, 34},
        {"Shift+Left", KEY_CODE_YES, KEY_SLEFT, 37},
        {"Shift+Up", KEY_CODE_YES, KEY_SR, 38},
        {"F1", KEY_CODE_YES, KEY_F(1), 112},
        {"F12", KEY_CODE_YES, KEY_F(12), 123},
        {"Shift+F1", KEY_CODE_YES, KEY_F(13), 112},
        {"Insert", KEY_CODE_YES, KEY_IC, 45},
        {"Delete", KEY_CODE_YES, KEY_DC, 46},
        {"Backspace", KEY_CODE_YES, KEY_BACKSPACE, 8},
        {"keypad Enter", KEY_CODE_YES, KEY_ENTER, 13},
        {"Shift+Tab", KEY_CODE_YES, KEY_BTAB, 9},
    };
    expect_keys(cases, std::size(cases));
}

TEST(CursesKeys, CharactersGiveTheirOwnCodeOrTheKeys) {
    const KeyCase cases[] = {
        {"a", OK, 'a', 'a'},
        {"A", OK, 'A', 'A'},
        {"space", OK, ' ', ' '},
        {"&, like Up", OK, '&', 38},
        {"(, like Down", OK, '(', 40},
        {"~", OK, '~', '~'},
        {"Tab", OK, 9, 9},
        {"Enter as CR", OK, 13, 13},
        {"Enter as LF", OK, 10, 13},
        {"Escape", OK, 27, 27},
        {"Backspace ^H", OK, 8, 8},
        {"Backspace DEL", OK, 127, 8},
        {"Ctrl+A", OK, 1, 'A'},
        {"Ctrl+Q", OK, 17, 'Q'},
        {"Ctrl+Z", OK, 26, 'Z'},
        {"e acute", OK, 0xE9, 0xE5},
        {"euro sign", OK, 0x20AC, 0xE5},
        // Its low byte is 'A': the character must still not pass for a letter.
        {"L stroke", OK, 0x141, 0xE5},
    };
    expect_keys(cases, std::size(cases));

    // Printable keys name the key that types them, as a Windows keyboard does.
    EXPECT_EQ(curses_decode_key(OK, 'a')->virtual_key, 'A');
    EXPECT_EQ(curses_decode_key(OK, '7')->virtual_key, '7');
    EXPECT_EQ(curses_decode_key(OK, '&')->virtual_key, '7');
    EXPECT_EQ(curses_decode_key(OK, '|')->virtual_key, 0xDC);
}

TEST(CursesKeys, WhatIsNoKeyPressIsDropped) {
    EXPECT_FALSE(curses_decode_key(KEY_CODE_YES, KEY_RESIZE));
    EXPECT_FALSE(curses_decode_key(KEY_CODE_YES, KEY_MOUSE));
    EXPECT_FALSE(curses_decode_key(KEY_CODE_YES, KEY_MAX + 7));  // an unnamed extended key
    EXPECT_FALSE(curses_decode_key(ERR, 'a'));
}

TEST(CursesKeys, ModifiedKeysKnownByNameGiveThePlainKey) {
    const struct {
        const char* name;
        int key_code;  // 0: not a key
    } cases[] = {
        {"kLFT5", 37}, {"kRIT3", 39}, {"kUP", 0},    {"kUP2", 38},  {"kDN7", 40},
        {"kHOM5", 36}, {"kEND6", 35}, {"kPRV3", 33}, {"kNXT5", 34}, {"kIC5", 45},
        {"kDC3", 46},  {"kUPx", 0},   {"kLFT5x", 0}, {"kxIN", 0},   {"KEY_F(1)", 0},
    };
    for (const auto& key : cases) {
        const std::optional<InputEvent> event = curses_decode_key_name(key.name);
        EXPECT_EQ(event ? game_key_code(*event) : 0, key.key_code) << key.name;
    }
    EXPECT_FALSE(curses_decode_key_name(nullptr));
}

// How many characters after an ESC belong to the sequence; -1 if it never ends.
int sequence_length(const std::string& after_escape) {
    EscapeSequence sequence;
    for (std::size_t i = 0; i < after_escape.size(); ++i) {
        if (!sequence.feed(static_cast<unsigned char>(after_escape[i]))) {
            return static_cast<int>(i) + 1;
        }
    }
    return -1;
}

TEST(CursesKeys, UnknownEscapeSequencesEndWhereTheTerminalEndsThem) {
    const struct {
        const char* name;
        std::string bytes;  // what follows the ESC, then a key the player typed
        int length;
    } cases[] = {
        {"CSI with modifiers", "[1;5Aq", 5},
        {"CSI with a tilde", "[23;2~q", 6},
        {"SS3", "OPq", 2},
        {"SS3 with a modifier", "O5Pq", 3},
        {"Linux console F1", "[[Aq", 3},
        {"Alt+x", "xq", 1},
        {"Alt with a CSI key", "\033[Dq", 3},
        {"colour report", "]11;rgb:0/0/0\aq", 14},
        {"report ended by ST", "]0;t\033\\q", 6},
        {"rxvt Ctrl+Shift+F11", "[23@q", 4},
    };
    for (const auto& sequence : cases) {
        EXPECT_EQ(sequence_length(sequence.bytes), sequence.length) << sequence.name;
    }
}

TEST(CursesColours, ConsoleBitsBecomeCursesBits) {
    // black blue green cyan red magenta brown grey, then their bright twins
    const int expected[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
    for (int colour = 0; colour < 16; ++colour) {
        EXPECT_EQ(curses_colour_of(colour), expected[colour]) << colour;
    }
}

TEST(CursesColours, EveryAttributeHasAPairOfItsColours) {
    const struct {
        CursesPalette palette;
        int colours;
    } palettes[] = {{CursesPalette::sixteen, 16}, {CursesPalette::eight, 8}};
    for (const auto& [palette, colours] : palettes) {
        std::set<int> pairs;
        for (int attribute = 0; attribute < 256; ++attribute) {
            const CursesStyle style =
                curses_style_of(static_cast<std::uint16_t>(attribute), palette);
            ASSERT_GE(style.pair, 0);
            ASSERT_LT(style.pair, curses_pair_count(palette));
            int foreground = -1;
            int background = -1;
            curses_pair_colours(style.pair, palette, &foreground, &background);
            EXPECT_EQ(foreground, (attribute & 0x0F) % colours) << attribute;
            EXPECT_EQ(background, (attribute >> 4) % colours) << attribute;
            // Eight colours brighten the foreground by bold, and never the background.
            EXPECT_EQ(style.bold, colours == 8 && (attribute & 0x08) != 0) << attribute;
            EXPECT_FALSE(style.reverse);
            pairs.insert(style.pair);
        }
        EXPECT_EQ(static_cast<int>(pairs.size()), curses_pair_count(palette));
        EXPECT_EQ(curses_style_of(0x07, palette).pair, 0);  // the terminal's default pair
    }
}

TEST(CursesColours, WithoutColourBackgroundsReverseAndBrightIsBold) {
    const struct {
        std::uint16_t attribute;
        bool bold;
        bool reverse;
    } cases[] = {{0x07, false, false}, {0x0F, true, false}, {0x70, false, true},
                 {0x30, false, true},  {0x1E, true, true},  {0x08, true, false}};
    for (const auto& cell : cases) {
        const CursesStyle style = curses_style_of(cell.attribute, CursesPalette::none);
        EXPECT_EQ(style.pair, 0);
        EXPECT_EQ(style.bold, cell.bold) << cell.attribute;
        EXPECT_EQ(style.reverse, cell.reverse) << cell.attribute;
    }
}

TEST(CursesGlyphs, AsciiLookAlikesArePrintableAndKeepAscii) {
    for (int code = 0; code < 256; ++code) {
        const char c = cp437_to_ascii[code];
        EXPECT_TRUE(c >= 32 && c <= 126) << code;
        if (code >= 32 && code <= 126) {
            EXPECT_EQ(c, code);
        }
    }
    const std::string drawn = {cp437_to_ascii[0x00], cp437_to_ascii[0xB3], cp437_to_ascii[0xC4],
                               cp437_to_ascii[0xC5], cp437_to_ascii[0xB0], cp437_to_ascii[0xB1],
                               cp437_to_ascii[0xB2], cp437_to_ascii[0x1E], cp437_to_ascii[0x1F],
                               cp437_to_ascii[0x10], cp437_to_ascii[0x11], cp437_to_ascii[0xFA]};
    EXPECT_EQ(drawn, " |-+.:#^v><.");
}

}  // namespace
