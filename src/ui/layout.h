#pragma once

#include <cstdint>

// Paints the game screen's regions once, when play begins, and brings the viewport to
// the map cursor.
void setup_screen();
// Moves the map cursor one step and lets the viewport follow.
void move_cursor(std::int32_t dx, std::int32_t dy);
