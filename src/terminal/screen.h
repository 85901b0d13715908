// The off-screen picture, the one current text window, and the map viewport.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "platform/console.h"
#include "util/printf_check.h"

extern Cell screen_buffer[SCREEN_CELLS];

// The current text window: edges x0/y0 inclusive, x1/y1 exclusive, in screen cells.
extern std::int32_t win_x0, win_y0, win_x1, win_y1;
extern std::int32_t print_x, print_y;
extern std::int32_t text_fg;  // foreground colour 0..15
extern std::int32_t text_bg;  // background as attribute bits (colour * 16)
extern std::int32_t word_wrap;

// The map coordinates shown in the map window's top-left cell, and the screen cell of
// the map cursor.
extern std::int32_t view_x, view_y;
extern std::int32_t cursor_screen_x, cursor_screen_y;

void put_cell(std::int32_t x, std::int32_t y, std::uint8_t ch, std::uint16_t attr);
void set_text_colour(std::int32_t fg, std::int32_t bg_bits);
void set_window(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
void clear_window(std::uint16_t attr);
void scroll_window();
void print_text(const char* s);
void print_fmt(const char* format, ...) PRINTF_FORMAT(1, 2);
void print_fmt_va(const char* format, va_list args);
void follow_cursor();
void flush_screen();

void select_message_window(std::int32_t margin);
void select_menu_window(std::int32_t margin);
void select_map_window();
void select_info_window();
void select_status_line();
void select_detail_window(std::int32_t margin);

// Back to the start-of-run state: blank buffer, zero window and viewport.
void reset_screen();
