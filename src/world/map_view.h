// The world on screen, once a frame: the description of the cell under the cursor,
// the status line, and the map window with its levels, creatures and notice box.
#pragma once

#include <cstdint>

// The text of the boxed notice on the map, or null.
extern const char* notice_text;

void draw_map_view();
// The 16 by 8 cells of ground whose top-left world cell is (16 * bx, 8 * by), drawn
// into the current window; it reseeds the small generator and leaves it where the
// block's last draw put it.
void draw_ground_block(std::int32_t bx, std::int32_t by);

// Forgets what the view keeps between frames (the trees by level, the ground and the
// trees in sight), for a fresh game.
void reset_map_view();
