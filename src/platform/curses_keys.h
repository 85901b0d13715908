// The pure half of the curses console: how terminal keys become the key presses a
// Windows keyboard would deliver, how console colours become curses colours, and the
// plain-ASCII stand-ins for terminals that cannot show code page 437 glyphs. Nothing
// here calls curses, so all of it can be checked without a terminal.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/console.h"

// A character beyond ASCII has no key the game could name: a Windows keyboard reports
// text composed by an input method with this code. It is non-zero, so the press still
// counts as a key on the "[press any key]" screens, and it lies outside 32..126, so it
// never aliases a letter or a cursor key.
constexpr std::uint16_t VKEY_PROCESSKEY = 0xE5;

// Decodes one result of wget_wch: kind is OK for a character or KEY_CODE_YES for a
// function key, value the character or key code. Returns nothing for what is not a
// key press (KEY_RESIZE, KEY_MOUSE) and for keys the game has no code for.
std::optional<InputEvent> curses_decode_key(int kind, std::uint32_t value);

// Decodes a function key that curses knows only by its terminfo name, such as "kLFT5"
// (Ctrl+Left): modified cursor and editing keys give the plain key's code, as Windows
// reports Ctrl+Left as Left.
std::optional<InputEvent> curses_decode_key_name(const char* name);

// Follows the bytes after an ESC that curses did not recognise as a key, so that the
// whole sequence (an unknown CSI or SS3 sequence, a terminal report, Alt+key) is
// thrown away instead of arriving as ESC and loose letters.
class EscapeSequence {
  public:
    // Takes the next character after the ESC; returns true while the sequence goes on.
    bool feed(std::uint32_t ch);
    // True while every character fed so far was another ESC.
    bool only_escapes() const { return state_ == State::start; }

  private:
    enum class State { start, csi_first, csi, ss3, one_more, string, string_escape };
    State state_ = State::start;
};

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

// Plain-ASCII look-alikes of the code page 437 glyphs, for terminals that cannot show
// Unicode: box drawing as + - |, shades as . : #, arrows and triangles as < > ^ v.
extern const char cp437_to_ascii[256];
