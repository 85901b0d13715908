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
// flags. With colour, every foreground and background combination has its own pair,
// numbered 0..curses_pair_count - 1. Pair 0 cannot be defined, only declared as the
// terminal's default (assume_default_colors), so it serves light grey on black, the
// commonest combination, and frees one pair: 8-colour terminals offer only 64.
struct CursesStyle {
    short pair;
    bool bold;
    bool reverse;
};
CursesStyle curses_style_of(std::uint16_t attribute, CursesPalette palette);

// The number of pairs the palette uses (0 without colour), and the foreground and
// background console colours of one of them.
int curses_pair_count(CursesPalette palette);
void curses_pair_colours(int pair, CursesPalette palette, int* foreground, int* background);

// Plain-ASCII look-alikes of the code page 437 glyphs, for a locale whose character
// set cannot show them: box drawing as + - |, shades as . : #, arrows and triangles as < > ^ v.
extern const char cp437_to_ascii[256];
