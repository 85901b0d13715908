// The pure half of the curses console: terminal keys as the presses a Windows keyboard
// would deliver, console colours as curses colours, and ASCII stand-ins for glyphs.
#include "platform/curses_keys.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace {

// A decoded press as its character byte and virtual-key code; {-1, -1} for no press.
std::array<int, 2> press_of(const std::optional<InputEvent>& event) {
    return event && event->key_down ? std::array<int, 2>{event->character, event->virtual_key}
                                    : std::array{-1, -1};
}

TEST(CursesKeys, KeysBecomeWindowsKeyPresses) {
    constexpr int FN = KEY_CODE_YES, NONE = -1;
    // Kind and value, then the character byte and virtual-key code of the press.
    // clang-format off
    const std::array<int, 4> keys[] = {
        // Cursor and editing keys; keypad and shifted variants give the plain key.
        {FN, KEY_UP, 0, 38}, {FN, KEY_DOWN, 0, 40}, {FN, KEY_LEFT, 0, 37}, {FN, KEY_RIGHT, 0, 39},
        {FN, KEY_SLEFT, 0, 37}, {FN, KEY_HOME, 0, 36}, {FN, KEY_A1, 0, 36}, {FN, KEY_END, 0, 35},
        {FN, KEY_C1, 0, 35}, {FN, KEY_PPAGE, 0, 33}, {FN, KEY_NPAGE, 0, 34}, {FN, KEY_IC, 0, 45},
        {FN, KEY_DC, 0, 46}, {FN, KEY_BACKSPACE, 8, 8}, {FN, KEY_ENTER, 13, 13},
        {FN, KEY_BTAB, 9, 9},
        // F13 and up are shifted or controlled F1..F12.
        {FN, KEY_F(1), 0, 112}, {FN, KEY_F(12), 0, 123}, {FN, KEY_F(13), 0, 112},
        // No presses: a resize, the mouse, an unnamed extended key, an error.
        {FN, KEY_RESIZE, NONE, NONE}, {FN, KEY_MOUSE, NONE, NONE}, {FN, KEY_MAX + 7, NONE, NONE},
        {ERR, 'a', NONE, NONE},
        // Printable characters name the US key that types them.
        {OK, 'a', 'a', 'A'}, {OK, 'A', 'A', 'A'}, {OK, ' ', ' ', 32}, {OK, '&', '&', '7'},
        {OK, '|', '|', 0xDC},
        // Tab, Enter as CR or LF, ESC, Backspace as ^H or DEL, Ctrl+letter.
        {OK, 9, 9, 9}, {OK, 13, 13, 13}, {OK, 10, 13, 13}, {OK, 27, 27, 27}, {OK, 8, 8, 8},
        {OK, 127, 8, 8}, {OK, 1, 1, 'A'}, {OK, 26, 26, 'Z'},
        // Beyond ASCII: the Latin-1 byte if any, and a key code no letter has ("Ł" has
        // the low byte of "A").
        {OK, 0xE9, 0xE9, 0xE5}, {OK, 0x20AC, 0, 0xE5}, {OK, 0x141, 0, 0xE5}};
    // clang-format on
    for (const auto& [kind, value, character, virtual_key] : keys) {
        EXPECT_EQ(press_of(curses_decode_key(kind, value)), (std::array{character, virtual_key}))
            << kind << " " << value;
    }

    // Modified keys curses knows only by terminfo name: a stem and a modifier number.
    const std::pair<const char*, int> names[] = {
        {"kLFT5", 37}, {"kRIT3", 39},  {"kUP2", 38},     {"kDN7", 40},   {"kHOM5", 36},
        {"kEND6", 35}, {"kPRV3", 33},  {"kNXT5", 34},    {"kIC5", 45},   {"kDC3", 46},
        {"kUP", NONE}, {"kUPx", NONE}, {"kLFT5x", NONE}, {"kxIN", NONE}, {"KEY_F(1)", NONE}};
    for (const auto& [name, virtual_key] : names) {
        EXPECT_EQ(press_of(curses_decode_key_name(name))[1], virtual_key) << name;
    }
    EXPECT_FALSE(curses_decode_key_name(nullptr));
}

TEST(CursesKeys, UnknownEscapeSequencesAreSwallowedWhole) {
    // What follows the ESC, then a key the player typed, and how many characters the
    // sequence takes: CSI with modifiers or a tilde, SS3 bare or with a modifier, the
    // Linux console's F1, Alt+x, Alt with a CSI key, reports ended by BEL or ST, rxvt.
    const std::pair<std::string, std::size_t> sequences[] = {
        {"[1;5Aq", 5},      {"[23;2~q", 6}, {"OPq", 2},     {"O5Pq", 3},
        {"[[Aq", 3},        {"xq", 1},      {"\033[Dq", 3}, {"]11;rgb:0/0/0\aq", 14},
        {"]0;t\033\\q", 6}, {"[23@q", 4}};
    for (const auto& [bytes, length] : sequences) {
        EscapeSequence sequence;
        std::size_t fed = 0;
        while (fed < bytes.size() && sequence.feed(static_cast<unsigned char>(bytes[fed++]))) {
        }
        EXPECT_EQ(fed, length) << bytes;
    }
}

TEST(CursesColours, ConsoleColoursBecomeCursesColoursAndPairs) {
    // Blue 1, green 2, red 4 become red 1, green 2, blue 4; intensity stays 8.
    std::array<int, 16> colours{};
    for (int colour = 0; colour < 16; ++colour) {
        colours[colour] = curses_colour_of(colour);
    }
    EXPECT_EQ(colours, (std::array{0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15}));

    // Every attribute has the pair of its colours. Eight colours show a bright foreground
    // as bold and a bright background as its dark twin.
    for (const auto& [palette, count] :
         {std::pair{CursesPalette::sixteen, 16}, std::pair{CursesPalette::eight, 8}}) {
        std::set<int> pairs;
        for (int attribute = 0; attribute < 256; ++attribute) {
            const CursesStyle style = curses_style_of(attribute, palette);
            int foreground = -1, background = -1;
            curses_pair_colours(style.pair, palette, &foreground, &background);
            EXPECT_EQ((std::array{foreground, background, int{style.bold}, int{style.reverse}}),
                      (std::array{(attribute & 15) % count, (attribute >> 4) % count,
                                  int{count == 8 && (attribute & 8) != 0}, 0}))
                << attribute;
            pairs.insert(style.pair);
        }
        // Pairs 0 (the terminal's default, light grey on black) to count² - 1, all used.
        EXPECT_EQ(
            (std::array{*pairs.begin(), *pairs.rbegin(), static_cast<int>(pairs.size()),
                        curses_pair_count(palette), int{curses_style_of(0x07, palette).pair}}),
            (std::array{0, count * count - 1, count * count, count * count, 0}));
    }

    // Without colour: pair 0, bright is bold and any background is reverse video.
    for (const auto& [attribute, bold, reverse] :
         {std::array{0x07, 0, 0}, {0x0F, 1, 0}, {0x70, 0, 1}, {0x1E, 1, 1}}) {
        const CursesStyle style = curses_style_of(attribute, CursesPalette::none);
        EXPECT_EQ((std::array{int{style.pair}, int{style.bold}, int{style.reverse}}),
                  (std::array{0, bold, reverse}))
            << attribute;
    }
}

TEST(CursesGlyphs, AsciiLookAlikesArePrintableAndKeepAscii) {
    for (int code = 0; code < 256; ++code) {
        // Printable ASCII stays itself; every other code has a printable stand-in.
        const int shown = cp437_to_ascii[code];
        EXPECT_EQ(code >= 32 && code <= 126 ? code : std::clamp(shown, 32, 126), shown) << code;
    }
    // Box drawing, shades, arrows and triangles.
    const std::string drawn = {cp437_to_ascii[0xB3], cp437_to_ascii[0xC4], cp437_to_ascii[0xC5],
                               cp437_to_ascii[0xB0], cp437_to_ascii[0xB1], cp437_to_ascii[0xB2],
                               cp437_to_ascii[0x1E], cp437_to_ascii[0x10], cp437_to_ascii[0x11]};
    EXPECT_EQ(drawn, "|-+.:#^><");
}

}  // namespace
