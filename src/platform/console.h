// The console seam: everything the game needs from a text console, and nothing more.
// Each front end implements exactly these functions, in a folder of its own beside this
// header: curses/ (Linux and macOS terminals), windows/ (the Windows console), browser/
// (the web page) and headless/ (scripted keys and a virtual clock, for tests and
// canopy-sim). Nothing above this header knows which one is linked.
#pragma once

#include <cstdint>

// One screen position, laid out like the Windows console's CHAR_INFO: the code page
// 437 byte in the low byte of a 16-bit character field, then the 16-bit attribute
// (background * 16 + foreground, colours 0..15).
struct Cell {
    std::uint16_t character;
    std::uint16_t attribute;
};
static_assert(sizeof(Cell) == 4, "Cell must match the console's cell layout");

constexpr int SCREEN_WIDTH = 80;
constexpr int SCREEN_HEIGHT = 25;
constexpr int SCREEN_CELLS = SCREEN_WIDTH * SCREEN_HEIGHT;

// One input event. Only events with key_down set are key presses; the game reads the
// character byte first and falls back to the Windows virtual-key code.
struct InputEvent {
    bool key_down;
    std::uint8_t character;
    std::uint16_t virtual_key;
};

// Windows virtual-key codes of the keys the game names. Letters and digits are their
// upper-case characters' codes.
constexpr std::uint16_t VKEY_BACK = 0x08;
constexpr std::uint16_t VKEY_TAB = 0x09;
constexpr std::uint16_t VKEY_CLEAR = 0x0C;
constexpr std::uint16_t VKEY_RETURN = 0x0D;
constexpr std::uint16_t VKEY_SHIFT = 0x10;
constexpr std::uint16_t VKEY_CONTROL = 0x11;
constexpr std::uint16_t VKEY_MENU = 0x12;  // Alt
constexpr std::uint16_t VKEY_ESCAPE = 0x1B;
constexpr std::uint16_t VKEY_SPACE = 0x20;
constexpr std::uint16_t VKEY_PRIOR = 0x21;
constexpr std::uint16_t VKEY_NEXT = 0x22;
constexpr std::uint16_t VKEY_END = 0x23;
constexpr std::uint16_t VKEY_HOME = 0x24;
constexpr std::uint16_t VKEY_LEFT = 0x25;
constexpr std::uint16_t VKEY_UP = 0x26;
constexpr std::uint16_t VKEY_RIGHT = 0x27;
constexpr std::uint16_t VKEY_DOWN = 0x28;
constexpr std::uint16_t VKEY_INSERT = 0x2D;
constexpr std::uint16_t VKEY_DELETE = 0x2E;
constexpr std::uint16_t VKEY_F1 = 0x70;

// Takes over the console: 80x25 cells, hidden cursor. Returns null on success. When
// there is no console to take (standard input or output redirected, a terminal type
// that cannot show a picture) it touches nothing and returns one line saying why,
// without a final full stop, for the caller to print.
const char* console_open();

// Gives the console back as it was found (cursor visible, line mode, main screen).
// Safe to call any number of times, and before or without console_open.
void console_restore();

// Replaces the whole picture with these SCREEN_CELLS cells, row-major.
void console_write(const Cell* cells);

// Copies the first queued event into *event without removing it. Never waits;
// returns false when the queue is empty.
bool console_peek_event(InputEvent* event);

// Removes the first queued event into *event, waiting until there is one. Returns
// false only when no event could be read; callers then simply try again.
bool console_read_event(InputEvent* event);

// Milliseconds from an arbitrary origin; unsigned 32-bit, so it wraps after 49.7 days.
std::uint32_t console_ticks();

// Pauses about this many milliseconds. Returns true when the console held the game
// for longer (for instance while the terminal was too small to show the picture), so
// the caller can treat the time as a pause rather than as elapsed game time.
bool console_sleep(std::uint32_t milliseconds);
