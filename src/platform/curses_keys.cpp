#include "platform/curses_keys.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include <cstring>

namespace {

InputEvent key_press(std::uint8_t character, std::uint16_t virtual_key) {
    return InputEvent{true, character, virtual_key};
}

// Function keys by their curses code. Shifted and keypad variants give the plain
// key's code, as a Windows keyboard reports Shift+Left as Left and keypad 7 as Home.
struct FunctionKey {
    int code;
    std::uint8_t character;
    std::uint16_t virtual_key;
};
constexpr FunctionKey function_keys[] = {
    {KEY_UP, 0, VKEY_UP},         {KEY_SR, 0, VKEY_UP},           {KEY_DOWN, 0, VKEY_DOWN},
    {KEY_SF, 0, VKEY_DOWN},       {KEY_LEFT, 0, VKEY_LEFT},       {KEY_SLEFT, 0, VKEY_LEFT},
    {KEY_RIGHT, 0, VKEY_RIGHT},   {KEY_SRIGHT, 0, VKEY_RIGHT},    {KEY_HOME, 0, VKEY_HOME},
    {KEY_SHOME, 0, VKEY_HOME},    {KEY_A1, 0, VKEY_HOME},         {KEY_END, 0, VKEY_END},
    {KEY_SEND, 0, VKEY_END},      {KEY_C1, 0, VKEY_END},          {KEY_LL, 0, VKEY_END},
    {KEY_PPAGE, 0, VKEY_PRIOR},   {KEY_SPREVIOUS, 0, VKEY_PRIOR}, {KEY_A3, 0, VKEY_PRIOR},
    {KEY_NPAGE, 0, VKEY_NEXT},    {KEY_SNEXT, 0, VKEY_NEXT},      {KEY_C3, 0, VKEY_NEXT},
    {KEY_B2, 0, VKEY_CLEAR},      {KEY_IC, 0, VKEY_INSERT},       {KEY_SIC, 0, VKEY_INSERT},
    {KEY_DC, 0, VKEY_DELETE},     {KEY_SDC, 0, VKEY_DELETE},      {KEY_BACKSPACE, 8, VKEY_BACK},
    {KEY_ENTER, 13, VKEY_RETURN}, {KEY_BTAB, 9, VKEY_TAB},
};

// Control bytes that are not Ctrl+letter, with the key a US keyboard types them with.
struct ControlKey {
    std::uint32_t byte;
    std::uint8_t character;
    std::uint16_t virtual_key;
};
constexpr ControlKey control_keys[] = {
    {0, 0, VKEY_SPACE},     // Ctrl+Space
    {8, 8, VKEY_BACK},      // Backspace on terminals that send ^H
    {9, 9, VKEY_TAB},       //
    {10, 13, VKEY_RETURN},  // Enter where the terminal still sends a line feed
    {13, 13, VKEY_RETURN},  //
    {27, 27, VKEY_ESCAPE},  //
    {28, 28, 0xDC},         // Ctrl+Backslash
    {29, 29, 0xDD},         // Ctrl+]
    {30, 30, '6'},          // Ctrl+^
    {31, 31, 0xBD},         // Ctrl+_
    {127, 8, VKEY_BACK},    // Backspace on terminals that send DEL
};

// Punctuation by the US-layout key that types it, shifted or not.
struct PunctuationKey {
    char plain;
    char shifted;
    std::uint16_t virtual_key;
};
constexpr PunctuationKey punctuation_keys[] = {
    {';', ':', 0xBA},  {'=', '+', 0xBB}, {',', '<', 0xBC},  {'-', '_', 0xBD},
    {'.', '>', 0xBE},  {'/', '?', 0xBF}, {'`', '~', 0xC0},  {'[', '{', 0xDB},
    {'\\', '|', 0xDC}, {']', '}', 0xDD}, {'\'', '"', 0xDE},
};
constexpr char shifted_digits[] = ")!@#$%^&*(";

std::uint16_t virtual_key_of_printable(char c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<std::uint16_t>(c - 'a' + 'A');
    }
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') {
        return static_cast<std::uint16_t>(c);
    }
    if (const char* digit = std::strchr(shifted_digits, c); digit != nullptr) {
        return static_cast<std::uint16_t>('0' + (digit - shifted_digits));
    }
    for (const PunctuationKey& key : punctuation_keys) {
        if (c == key.plain || c == key.shifted) {
            return key.virtual_key;
        }
    }
    return 0;
}

// Modified cursor and editing keys by the stem of their terminfo name.
struct NamedKey {
    const char* stem;
    std::uint16_t virtual_key;
};
constexpr NamedKey named_keys[] = {
    {"kUP", VKEY_UP},     {"kDN", VKEY_DOWN},   {"kLFT", VKEY_LEFT},  {"kRIT", VKEY_RIGHT},
    {"kHOM", VKEY_HOME},  {"kEND", VKEY_END},   {"kPRV", VKEY_PRIOR}, {"kNXT", VKEY_NEXT},
    {"kIC", VKEY_INSERT}, {"kDC", VKEY_DELETE},
};

}  // namespace

std::optional<InputEvent> curses_decode_key(int kind, std::uint32_t value) {
    if (kind == KEY_CODE_YES) {
        for (const FunctionKey& key : function_keys) {
            if (static_cast<std::uint32_t>(key.code) == value) {
                return key_press(key.character, key.virtual_key);
            }
        }
        // Shift and Ctrl with F1..F12 arrive as F13 and up; Windows reports them as
        // the plain function key.
        if (value >= static_cast<std::uint32_t>(KEY_F(1)) &&
            value <= static_cast<std::uint32_t>(KEY_F(63))) {
            const int number = static_cast<int>(value) - KEY_F(1);
            return key_press(0, static_cast<std::uint16_t>(VKEY_F1 + number % 12));
        }
        return std::nullopt;
    }
    if (kind != OK) {
        return std::nullopt;
    }
    for (const ControlKey& key : control_keys) {
        if (key.byte == value) {
            return key_press(key.character, key.virtual_key);
        }
    }
    if (value >= 1 && value <= 26) {
        // Ctrl+letter: the control byte as character, the letter's key as code.
        return key_press(static_cast<std::uint8_t>(value),
                         static_cast<std::uint16_t>('A' + value - 1));
    }
    if (value >= 32 && value <= 126) {
        return key_press(static_cast<std::uint8_t>(value),
                         virtual_key_of_printable(static_cast<char>(value)));
    }
    // Beyond ASCII: keep the Latin-1 byte where there is one (never printable ASCII,
    // so the game falls back to the key code), and name no key.
    const std::uint8_t byte = value < 256 ? static_cast<std::uint8_t>(value) : 0;
    return key_press(byte, VKEY_PROCESSKEY);
}

std::optional<InputEvent> curses_decode_key_name(const char* name) {
    if (name == nullptr) {
        return std::nullopt;
    }
    for (const NamedKey& key : named_keys) {
        const std::size_t stem_length = std::strlen(key.stem);
        if (std::strncmp(name, key.stem, stem_length) != 0) {
            continue;
        }
        // The stem is followed by the modifier number and nothing else ("kUP5").
        const char* rest = name + stem_length;
        if (*rest == '\0' || std::strspn(rest, "0123456789") != std::strlen(rest)) {
            continue;
        }
        return key_press(0, key.virtual_key);
    }
    return std::nullopt;
}

bool EscapeSequence::feed(std::uint32_t ch) {
    switch (state_) {
        case State::start:
            if (ch == '[') {
                state_ = State::csi_first;
            } else if (ch == 'O') {
                state_ = State::ss3;
            } else if (ch == ']' || ch == 'P' || ch == '_' || ch == '^' || ch == 'X') {
                state_ = State::string;  // a terminal report, up to BEL or ESC backslash
            } else if (ch != 27) {
                return false;  // Alt+key: the one character after the ESC
            }
            // A second ESC begins the real sequence (Alt with a cursor key).
            return true;
        case State::csi_first:
            if (ch == '[') {
                state_ = State::one_more;  // the Linux console's F1..F5: ESC [ [ A
                return true;
            }
            state_ = State::csi;
            [[fallthrough]];
        case State::csi:
            // Parameter and intermediate bytes continue; the final byte ends it.
            return ch >= 0x20 && ch <= 0x3F;
        case State::ss3:
            // Some terminals put a modifier between ESC O and the final byte.
            return (ch >= '0' && ch <= '9') || ch == ';';
        case State::one_more:
            return false;
        case State::string:
            if (ch == 27) {
                state_ = State::string_escape;
                return true;
            }
            return ch != 7;
        case State::string_escape:
            return false;
    }
    return false;
}

int curses_colour_of(int console_colour) {
    const int blue = console_colour & 1;
    const int red = (console_colour >> 2) & 1;
    return (console_colour & 0x0A) | (blue << 2) | red;
}

namespace {

// Swaps pair 0 with the pair of light grey on black; its own inverse.
int pair_of_combination(int combination) {
    constexpr int light_grey_on_black = 7;
    if (combination == 0) {
        return light_grey_on_black;
    }
    return combination == light_grey_on_black ? 0 : combination;
}

}  // namespace

CursesStyle curses_style_of(std::uint16_t attribute, CursesPalette palette) {
    const int foreground = attribute & 0x0F;
    const int background = (attribute >> 4) & 0x0F;
    switch (palette) {
        case CursesPalette::sixteen:
            return {static_cast<short>(pair_of_combination(background * 16 + foreground)), false,
                    false};
        case CursesPalette::eight:
            // A bright background shows as its dark twin: brightening it through blink
            // would make the cell flash on many terminals.
            return {
                static_cast<short>(pair_of_combination((background & 7) * 8 + (foreground & 7))),
                (foreground & 8) != 0, false};
        case CursesPalette::none:
            break;
    }
    return {0, (foreground & 8) != 0, background != 0};
}

int curses_pair_count(CursesPalette palette) {
    switch (palette) {
        case CursesPalette::sixteen:
            return 256;
        case CursesPalette::eight:
            return 64;
        case CursesPalette::none:
            break;
    }
    return 0;
}

void curses_pair_colours(int pair, CursesPalette palette, int* foreground, int* background) {
    const int colours = palette == CursesPalette::sixteen ? 16 : 8;
    const int combination = pair_of_combination(pair);
    *foreground = combination % colours;
    *background = combination / colours;
}

// Sixteen glyphs a row, as in the code page's own chart.
// clang-format off
const char cp437_to_ascii[256] = {
    // 0x00: faces, suits, bullets, arrows and triangles
    ' ', '@', '@', '*', '*', '*', '*', 'o', 'o', 'o', 'o', 'm', 'f', 'd', 'd', '*',
    '>', '<', '|', '!', 'P', 'S', '-', '|', '^', 'v', '>', '<', 'L', '-', '^', 'v',
    // 0x20: plain ASCII; 0x7F, the house, as a roof
    ' ', '!', '"', '#', '$', '%', '&', '\'', '(', ')', '*', '+', ',', '-', '.', '/',
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ':', ';', '<', '=', '>', '?',
    '@', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O',
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '[', '\\', ']', '^', '_',
    '`', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o',
    'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', '{', '|', '}', '~', '^',
    // 0x80: accented letters as their base letter, currency as its initial
    'C', 'u', 'e', 'a', 'a', 'a', 'a', 'c', 'e', 'e', 'e', 'i', 'i', 'i', 'A', 'A',
    'E', 'a', 'A', 'o', 'o', 'o', 'u', 'u', 'y', 'O', 'U', 'c', 'L', 'Y', 'P', 'f',
    'a', 'i', 'o', 'u', 'n', 'N', 'a', 'o', '?', '-', '-', '%', '%', '!', '<', '>',
    // 0xB0: shades by density, box drawing as + - |, blocks as #
    '.', ':', '#', '|', '+', '+', '+', '+', '+', '+', '|', '+', '+', '+', '+', '+',
    '+', '+', '+', '+', '-', '+', '+', '+', '+', '+', '+', '+', '+', '-', '+', '+',
    '+', '+', '+', '+', '+', '+', '+', '+', '+', '+', '+', '#', '#', '#', '#', '#',
    // 0xE0: Greek and mathematics by likeness
    'a', 'B', 'G', 'p', 'E', 's', 'u', 't', 'o', 'O', 'O', 'd', '8', 'o', 'e', 'n',
    '=', '+', '>', '<', '(', ')', '/', '~', 'o', '.', '.', 'v', 'n', '2', '#', ' ',
};
// clang-format on
