#include "terminal/screen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/game.h"
#include "world/world.h"

Cell screen_buffer[SCREEN_CELLS];

std::int32_t win_x0, win_y0, win_x1, win_y1;
std::int32_t print_x, print_y;
std::int32_t text_fg, text_bg, word_wrap;
std::int32_t view_x, view_y;
std::int32_t cursor_screen_x, cursor_screen_y;

namespace {

bool on_screen(std::int32_t x, std::int32_t y) {
    return x >= 0 && x < SCREEN_WIDTH && y >= 0 && y < SCREEN_HEIGHT;
}

// Every write goes through here, so no window or cursor, however placed, can reach
// outside the buffer.
void store(std::int32_t x, std::int32_t y, std::uint8_t ch, std::uint16_t attr) {
    if (on_screen(x, y)) {
        screen_buffer[y * SCREEN_WIDTH + x] = Cell{ch, attr};
    }
}

std::uint16_t text_attr() {
    return static_cast<std::uint16_t>(text_fg | text_bg);
}

bool is_space_byte(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Width of the rest of the current word: up to the next whitespace or the end,
// braces not counted since they are never drawn.
std::int32_t word_width(const char* s) {
    std::int32_t width = 0;
    for (; *s != '\0' && !is_space_byte(static_cast<unsigned char>(*s)); ++s) {
        if (*s != '{' && *s != '}') {
            ++width;
        }
    }
    return width;
}

void line_break() {
    ++print_y;
    if (print_y >= win_y1) {
        scroll_window();
        print_y = win_y1 - 1;
    }
    print_x = win_x0;
}

void select_region(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                   std::int32_t bg, std::int32_t fg, std::int32_t wrap) {
    set_window(x0, y0, x1, y1);
    text_bg = bg;
    text_fg = fg;
    word_wrap = wrap;
}

// A player who asks for less motion (CANOPY_STEADY_CURSOR in the environment; the web
// page sets it where the browser is asked to reduce motion) sees the map cursor steadily.
bool cursor_blinks() {
    static const bool blinks = std::getenv("CANOPY_STEADY_CURSOR") == nullptr;
    return blinks;
}

}  // namespace

void put_cell(std::int32_t x, std::int32_t y, std::uint8_t ch, std::uint16_t attr) {
    if (y >= win_y0 && y < win_y1 && x >= win_x0 && x < win_x1) {
        store(x, y, ch, attr);
    }
}

void set_text_colour(std::int32_t fg, std::int32_t bg_bits) {
    text_fg = fg;
    text_bg = bg_bits;
}

void set_window(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    win_x0 = x0;
    win_y0 = y0;
    win_x1 = x1;
    win_y1 = y1;
    print_x = x0;
    print_y = y1 - 1;
}

void clear_window(std::uint16_t attr) {
    for (std::int32_t y = win_y0; y < win_y1; ++y) {
        for (std::int32_t x = win_x0; x < win_x1; ++x) {
            store(x, y, ' ', attr);
        }
    }
    print_x = win_x0;
    print_y = win_y0;
}

void scroll_window() {
    for (std::int32_t y = win_y0; y < win_y1 - 1; ++y) {
        for (std::int32_t x = win_x0; x < win_x1; ++x) {
            if (on_screen(x, y) && on_screen(x, y + 1)) {
                screen_buffer[y * SCREEN_WIDTH + x] = screen_buffer[(y + 1) * SCREEN_WIDTH + x];
            }
        }
    }
    for (std::int32_t x = win_x0; x < win_x1; ++x) {
        put_cell(x, win_y1 - 1, ' ', text_attr());
    }
}

void print_text(const char* s) {
    const std::int32_t entry_fg = text_fg;
    while (*s != '\0') {
        const auto ch = static_cast<unsigned char>(*s);
        if (ch == '\n') {
            ++s;
            line_break();
            continue;
        }
        if (ch == '{') {
            ++s;
            text_fg = 15;
            continue;
        }
        if (ch == '}') {
            ++s;
            text_fg = entry_fg;
            continue;
        }
        const std::int32_t width = word_width(s);
        if (word_wrap == 1 && print_x + width > win_x1 && win_x0 + width <= win_x1) {
            line_break();
            continue;
        }
        if (print_x < win_x1) {
            store(print_x, print_y, ch, text_attr());
        }
        ++s;
        ++print_x;
        if (print_x == win_x1 && word_wrap == 1) {
            while (*s == ' ') {
                ++s;
            }
            line_break();
        }
    }
    text_fg = entry_fg;
}

void print_fmt_va(const char* format, va_list args) {
    char buffer[512];
    // Longer texts are cut at the buffer's end rather than overrunning it.
    std::vsnprintf(buffer, sizeof buffer, format, args);
    print_text(buffer);
}

void print_fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    print_fmt_va(format, args);
    va_end(args);
}

void follow_cursor() {
    if (cursor_x - view_x < 0) {
        view_x -= 6;
    }
    if (cursor_x - view_x >= 54) {
        view_x += 6;
    }
    if (cursor_y - view_y < 0) {
        view_y -= 3;
    }
    if (cursor_y - view_y >= 20) {
        view_y += 3;
    }
    cursor_screen_x = cursor_x - view_x;
    cursor_screen_y = cursor_y - view_y;
}

void flush_screen() {
    if (on_screen(cursor_screen_x, cursor_screen_y)) {
        Cell& cell = screen_buffer[cursor_screen_y * SCREEN_WIDTH + cursor_screen_x];
        if ((frame_time & 0x100) != 0 || !cursor_blinks()) {
            cell.attribute = 0x30;
            if ((frame_time & 0x200) != 0 && cursor_blinks()) {
                cell.character = ' ';
            }
        }
    }
    if (playback == nullptr || playback->show_frames) {
        console_write(screen_buffer);
    }
}

void select_message_window(std::int32_t margin) {
    select_region(28 + margin, 20, 80 - margin, 24, 0x70, 0, 1);
}

void select_menu_window(std::int32_t margin) {
    select_region(54 + margin, 0, 80, 15, 0x10, 7, 0);
}

void select_map_window() {
    select_region(0, 0, 54, 20, 0x00, 7, 1);
}

void select_info_window() {
    select_region(0, 20, 28, 25, 0x20, 7, 1);
}

void select_status_line() {
    select_region(0, 24, 80, 25, 0x00, 7, 0);
}

void select_detail_window(std::int32_t margin) {
    select_region(54 + margin, 15, 80 - margin, 20, 0x30, 7, 1);
}

void reset_screen() {
    std::memset(screen_buffer, 0, sizeof screen_buffer);
    win_x0 = win_y0 = win_x1 = win_y1 = 0;
    print_x = print_y = 0;
    text_fg = text_bg = word_wrap = 0;
    view_x = view_y = 0;
    cursor_screen_x = cursor_screen_y = 0;
}
