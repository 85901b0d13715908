// The terminal's windows by their rules: clipping at the screen's edges and long text cut
// where its buffer ends; what the game draws through them is seen in the scenarios.
#include <array>

#include "game_fixture.h"
#include "terminal/messages.h"

namespace {

class Terminal : public FreshGame {
  protected:
    // Cells outside the rectangle whose attribute is no longer 0.
    static int touched_outside(int x0, int y0, int x1, int y1) {
        int count = 0;
        for (int i = 0; i < SCREEN_CELLS; ++i) {
            const int x = i % SCREEN_WIDTH, y = i / SCREEN_WIDTH;
            count += (x < x0 || x >= x1 || y < y0 || y >= y1) && attr(x, y) != 0 ? 1 : 0;
        }
        return count;
    }
    static void blank_screen() {
        set_window(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT);
        clear_window(0);
    }
};

TEST_F(Terminal, WindowsClipAndScrollOnlyTheirOwnCells) {
    // Only the last two of these, the window's corners, lie in it.
    set_window(10, 5, 20, 8);
    for (const auto& [x, y] :
         {std::array{9, 5}, {20, 5}, {10, 4}, {10, 8}, {-1, -1}, {10, 5}, {19, 7}}) {
        put_cell(x, y, 'Z', 0x5A);
    }
    EXPECT_EQ((std::array<int, 3>{touched_outside(0, 0, 0, 0), attr(10, 5), attr(19, 7)}),
              (std::array{2, 0x5A, 0x5A}));

    // Scrolling moves only the window's own cells up and blanks its bottom row.
    blank_screen();
    for (int i = 2 * SCREEN_WIDTH; i < 7 * SCREEN_WIDTH; ++i) {
        put_cell(i % SCREEN_WIDTH, i / SCREEN_WIDTH, '0' + i / SCREEN_WIDTH, 0x07);
    }
    set_window(2, 3, 8, 6);
    set_text_colour(14, 0x40);
    scroll_window();
    EXPECT_EQ(row(2, 0, 10) + row(3, 0, 10) + row(4, 0, 10) + row(5, 0, 10) + row(6, 0, 10),
              "2222222222"
              "3344444433"
              "4455555544"
              "55      55"
              "6666666666");
    EXPECT_EQ((std::array<int, 2>{attr(2, 5), attr(7, 5)}), (std::array{0x4E, 0x4E}));

    // Windows off the screen, and the print cursors set_window puts off it, reach only
    // its cells (the sanitizer build checks the memory around screen_buffer).
    blank_screen();
    const std::array<std::int32_t, 4> windows[] = {
        {70, 20, 95, 30}, {-10, -5, 5, 3}, {100, 30, 120, 40}, {40, 10, 30, 5}};
    for (const auto& [x0, y0, x1, y1] : windows) {
        set_window(x0, y0, x1, y1);
        clear_window(0x1F);
        print_text("a rather long line of words\nthat wraps and scrolls\n\n\n\n\n\nagain");
    }
    // Only the on-screen parts of the first two windows: 10 by 5 and 5 by 3 cells.
    EXPECT_EQ((std::array{touched_outside(0, 0, 0, 0), touched_outside(70, 20, 80, 25),
                          touched_outside(0, 0, 5, 3)}),
              (std::array{65, 15, 50}));
}

TEST_F(Terminal, LongTextIsCutAtTheBuffersEnd) {
    // print_fmt keeps 511 characters: wrapped, five full rows, then the last 80 fit a
    // line of their own and move down. format_string keeps 1023.
    const std::string long_text(1500, 'w');
    blank_screen();
    word_wrap = 1;
    print_fmt("%s", long_text.c_str());
    EXPECT_EQ(row(5, 0, 32) + row(6) + row(7, 0, 1),
              std::string(31, 'w') + " " + std::string(80, 'w') + " ");
    EXPECT_EQ(std::string(format_string("%s", long_text.c_str())), long_text.substr(0, 1023));
}

}  // namespace
