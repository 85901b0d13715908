// What the curses console offers besides the console seam, for measuring it on a real
// terminal (bench/terminal_bench.cpp). The game itself never calls these.
#pragma once

#include "platform/console.h"

// The next frame is sent whole, every cell, as after `fg` brings the game back.
void curses_repaint_next_frame();

// The cells of the last frame the game wrote.
const Cell* curses_last_frame();
