// How the curses console's three files call on one another; nothing outside
// src/platform/curses/ includes this. curses_console.cpp draws the picture and answers
// the console seam, curses_keyboard.cpp reads the terminal's bytes into key presses,
// curses_terminal.cpp takes the terminal and gives it back: its modes, the signals, a
// game moved to the background.
#pragma once

#include <cstdint>

#include "platform/console.h"

// curses_console.cpp: the picture.
bool screen_too_small();
// Shows the last frame whole, or the request to enlarge the terminal when it cannot fit.
void screen_present();
// Follows the terminal's size, and repaints at the next frame: whatever happened
// meanwhile may have drawn over the picture.
void screen_follow_size();

// curses_keyboard.cpp: the keys read ahead of the game.
void keyboard_open(bool utf8, std::uint32_t escape_delay_ms);
// Forgets any sequence begun, as after the terminal was another program's.
void keyboard_reset();
// Takes everything the terminal has sent so far, without waiting.
void keyboard_read_now();
// Waits up to timeout_ms for the terminal to send something, or for a signal, and takes
// what it sent. True when the whole time passed in silence.
bool keyboard_wait(int timeout_ms);
bool keyboard_peek(InputEvent* press);
bool keyboard_pop(InputEvent* press);

// curses_terminal.cpp: the terminal itself.
// Why the terminal type in TERM cannot show the game, or null when it can.
const char* terminal_check_type();
// Before curses starts: the signal handlers, and the wait to be in the foreground. Null
// on success, else why the terminal cannot be taken (everything is put back).
const char* terminal_take();
// After curses has started: the modes the game plays in, and bracketed paste.
void terminal_set_play_modes();
// Gives back what terminal_take and terminal_set_play_modes took; the terminal's own
// modes are given back by curses' endwin, unless the game is in the background, where
// the terminal is another program's and is left alone.
void terminal_give_back();
// Acts on the signals that came since the last call: ends the game, stops it, takes the
// terminal back after a stop, follows a resize.
void terminal_notice_signals();
// Read and write errors: true when the terminal is another process group's (the game is
// in the background), false when it has gone.
bool terminal_in_background();
// Waits, stopped as terminal programs are, until the game is in the foreground again,
// then takes the terminal back and repaints.
void terminal_wait_for_foreground();
// The terminal has gone: ends the game as a hang-up signal would.
[[noreturn]] void terminal_hang_up();
