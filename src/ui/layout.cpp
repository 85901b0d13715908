#include "ui/layout.h"

#include "terminal/screen.h"
#include "world/world.h"

void setup_screen() {
    set_window(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT);
    clear_window(0x07);
    select_message_window(0);
    clear_window(0x70);
    select_menu_window(0);
    clear_window(0x10);
    select_info_window();
    clear_window(0x20);
    select_detail_window(0);
    clear_window(0x30);
    follow_cursor();
}

void move_cursor(std::int32_t dx, std::int32_t dy) {
    cursor_x += dx;
    cursor_y += dy;
    follow_cursor();
}
