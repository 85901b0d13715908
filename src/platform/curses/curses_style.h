// The pure half of the curses console's output: how console colours become curses
// colours, and the plain-ASCII stand-ins for glyphs the terminal's character set
// lacks. (Its input, bytes to key presses, is terminal_input.h.) Nothing here calls
// curses, so all of it can be checked without a terminal.
#pragma once

#include <cstdint>

// Console colours carry blue 1, green 2, red 4, intensity 8; curses numbers red 1,
// green 2, blue 4, with 8..15 the bright twins.
int curses_colour_of(int console_colour);

// What the terminal can show: 16 colours with a pair for every combination, 8 colours
// (bright foregrounds through bold), or no colour at all.
enum class CursesPalette { none, eight, sixteen };

// How one console attribute is drawn: a colour pair and the bold and reverse-video
// flags. With colour, every foreground and background combination has its own pair.
//
// Pair 0 is special: it cannot be defined, and curses returns to it after every refresh
// and before every blank it clears. Where the terminal offers a pair beyond one per
// combination (spare_pair), the combinations take pairs 1 to curses_pair_count - 1 and
// pair 0 keeps the terminal's own colours, so going back to it costs only the reset
// of attributes. Light grey on black, the commonest cell, then costs a colour change
// like any other. Where there is no spare pair (8-colour terminals offer 64, some
// 16-colour ones 256), light grey on black takes pair 0, declared as the terminal's
// default colours, and every return to it resends both colours after the reset.
struct CursesStyle {
    short pair;
    bool bold;
    bool reverse;
};
CursesStyle curses_style_of(std::uint16_t attribute, CursesPalette palette, bool spare_pair);

// The number of pairs the palette uses, pair 0 included (0 without colour), and the
// foreground and background console colours of one of them; pair 0 has none of its own
// when spare_pair is set (-1, -1).
int curses_pair_count(CursesPalette palette, bool spare_pair);
void curses_pair_colours(int pair, CursesPalette palette, bool spare_pair, int* foreground,
                         int* background);

// Plain-ASCII look-alikes of the code page 437 glyphs, for a locale whose character
// set cannot show them: box drawing as + - |, shades as . : #, arrows and triangles as < > ^ v.
extern const char cp437_to_ascii[256];
