// What the curses console offers besides the console seam, for measuring it on a real
// terminal (bench/terminal_bench.cpp). The game itself never calls these.
#pragma once

#include "platform/console.h"

// Off (the default): each frame hands curses only the cells that differ from the frame
// before, and a frame equal to it makes no curses call at all. On: every frame hands
// curses all its cells and curses compares them itself, as the console once did.
void curses_present_every_frame(bool every_frame);

// On: light grey on black takes colour pair 0, declared as the terminal's default
// colours, even where the terminal has a pair to spare for it, as the console once drew
// it (curses_style.h). Takes effect at the next console_open.
void curses_light_grey_in_pair_zero(bool in_pair_zero);

// The next frame is sent whole, every cell, as after `fg` brings the game back.
void curses_repaint_next_frame();

// The cells of the last frame the game wrote.
const Cell* curses_last_frame();
