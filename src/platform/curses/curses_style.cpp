#include "platform/curses/curses_style.h"

int curses_colour_of(int console_colour) {
    const int blue = console_colour & 1;
    const int red = (console_colour >> 2) & 1;
    return (console_colour & 0x0A) | (blue << 2) | red;
}

namespace {

constexpr int LIGHT_GREY_ON_BLACK = 0x07;

int colour_count(CursesPalette palette) {
    return palette == CursesPalette::sixteen ? 16 : 8;
}

// The pair of a combination (background * colours + foreground) and back. Without a
// spare pair, pair 0 and the pair of light grey on black change places.
int pair_of_combination(int combination, bool spare_pair) {
    if (spare_pair) {
        return combination + 1;
    }
    if (combination == 0) {
        return LIGHT_GREY_ON_BLACK;
    }
    return combination == LIGHT_GREY_ON_BLACK ? 0 : combination;
}

int combination_of_pair(int pair, bool spare_pair) {
    return spare_pair ? pair - 1 : pair_of_combination(pair, false);
}

}  // namespace

CursesStyle curses_style_of(std::uint16_t attribute, CursesPalette palette, bool spare_pair) {
    const int foreground = attribute & 0x0F;
    const int background = (attribute >> 4) & 0x0F;
    switch (palette) {
        case CursesPalette::sixteen:
            return {
                static_cast<short>(pair_of_combination(background * 16 + foreground, spare_pair)),
                false, false};
        case CursesPalette::eight:
            // A bright background shows as its dark twin: brightening it through blink
            // would make the cell flash on many terminals.
            return {static_cast<short>(
                        pair_of_combination((background & 7) * 8 + (foreground & 7), spare_pair)),
                    (foreground & 8) != 0, false};
        case CursesPalette::none:
            break;
    }
    return {0, (foreground & 8) != 0, background != 0};
}

int curses_pair_count(CursesPalette palette, bool spare_pair) {
    if (palette == CursesPalette::none) {
        return 0;
    }
    const int colours = colour_count(palette);
    return colours * colours + (spare_pair ? 1 : 0);
}

void curses_pair_colours(int pair, CursesPalette palette, bool spare_pair, int* foreground,
                         int* background) {
    if (spare_pair && pair == 0) {
        *foreground = -1;
        *background = -1;
        return;
    }
    const int colours = colour_count(palette);
    const int combination = combination_of_pair(pair, spare_pair);
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
