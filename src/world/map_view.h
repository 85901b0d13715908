// The world on screen, once a frame: the description of the cell under the cursor,
// the status line, and the map window with its levels, creatures and notice box.
#pragma once

#include <cstdint>

// The text of the boxed notice on the map, or null.
extern const char* notice_text;

void draw_map_view();
void draw_ground_block(std::int32_t bx, std::int32_t by);
void draw_trees(std::int32_t level);
void draw_leaves(std::int32_t level);
void draw_creatures(std::int32_t level);
