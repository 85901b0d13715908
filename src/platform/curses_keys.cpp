#include "platform/curses_keys.h"

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
