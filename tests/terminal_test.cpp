// The terminal as the player sees it: windows, printing, the map cursor's blink, the
// message regions and the keyboard. Screen regions are read through seen_rows: red text
// in [brackets], white in {braces}, a cell on another background than expected as '?'.
#include <array>
#include <tuple>

#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "terminal/messages.h"

namespace {

using Rows = std::vector<std::string>;

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

TEST_F(Terminal, PrintWrapsClipsHighlightsAndScrolls) {
    // Printed red on blue into a cleared window at (5, 2), three rows high: text, width,
    // word_wrap, then the rows and where the print cursor ends.
    const std::tuple<const char*, int, int, Rows, int, int> cases[] = {
        // A word that does not fit goes to the next line, unless it would not fit there
        // either: then it breaks where its rest fits an empty line.
        {"abcd efghijk", 10, 1, {"[abcd]", "[efghijk]", ""}, 12, 3},
        {"abcdefghijkl", 10, 1, {"[ab]", "[cdefghijkl]", ""}, 5, 4},
        // At the edge: following spaces vanish, a newline gives an empty line; no wrap clips.
        {"abcdefghij   xy", 10, 1, {"[abcdefghij]", "[xy]", ""}, 7, 3},
        {"abcdefghij\nxy", 10, 1, {"[abcdefghij]", "", "[xy]"}, 7, 4},
        {"abcdefghijklmn\nxy", 10, 0, {"[abcdefghij]", "[xy]", ""}, 7, 3},
        // A newline on the bottom row scrolls; the new row is blank in the text colours.
        {"a\nb\nc\nd", 10, 1, {"[b]", "[c]", "[d]"}, 6, 4},
        // Braces: never drawn nor measured; { whitens, } and the call's end restore the
        // entry colour.
        {" {C}onstruction", 13, 1, {" {C}[onstruction]", "", ""}, 5, 3},
        {"a{b}c}d{e{f", 10, 0, {"[a]{b}[cd]{ef}", "", ""}, 11, 2},
    };
    for (const auto& [text, width, wrap, rows, end_x, end_y] : cases) {
        SCOPED_TRACE(text);
        blank_screen();
        set_window(5, 2, 5 + width, 5);
        clear_window(0x10);
        set_text_colour(4, 0x10);
        word_wrap = wrap;
        print_text(text);
        EXPECT_EQ(seen_rows(buffer(), 5, 2, 5 + width, 5, 1), rows);
        EXPECT_EQ((std::array{print_x, print_y, text_fg}), (std::array{end_x, end_y, 4}));
        EXPECT_EQ(touched_outside(5, 2, 5 + width, 5), 0);
    }
}

TEST_F(Terminal, WindowsCursorsAndClipping) {
    set_text_colour(12, 0x20);
    set_window(26, 8, 60, 25);
    EXPECT_EQ((std::array{print_x, print_y}), (std::array{26, 24}));
    clear_window(0x4E);
    EXPECT_EQ((std::array{print_x, print_y, text_fg, text_bg}), (std::array{26, 8, 12, 0x20}));
    EXPECT_EQ(seen_rows(buffer(), 25, 7, 61, 9, 4),
              (Rows{std::string(36, '?'), "?" + std::string(34, ' ') + "?"}));

    // Only the last two of these, the window's corners, lie in it.
    blank_screen();
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
    EXPECT_EQ(seen_rows(buffer(), 0, 2, 10, 7, 0),
              (Rows{"2222222222", "3344444433", "4455555544", "55??????55", "6666666666"}));
    EXPECT_EQ(seen_rows(buffer(), 2, 5, 8, 6, 4), Rows{""});

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

TEST_F(Terminal, TheMapCursorBlinks) {
    // Frame time, then the cursor cell's character and attribute as flushed.
    const std::array<int, 3> blink[] = {{0, 'X', 0x07}, {256, 'X', 0x30}, {768, ' ', 0x30}};
    std::tie(cursor_screen_x, cursor_screen_y) = std::tuple(3, 2);
    for (const auto& b : blink) {
        screen_buffer[2 * SCREEN_WIDTH + 3] = Cell{'X', 0x07};
        frame_time = static_cast<std::uint32_t>(b[0]);
        flush_screen();
        const Cell shown = headless_last_frame()[2 * SCREEN_WIDTH + 3];
        EXPECT_EQ((std::array<int, 3>{b[0], shown.character, shown.attribute}), b);
    }
}

TEST_F(Terminal, MessagesInfoAndStrings) {
    select_message_window(0);
    clear_window(0x70);
    for (const char* message : {"one", "two", "three", "four", "five"}) {
        log_message("%s", message);
    }
    // Black on light grey: the last four, newest at the bottom.
    EXPECT_EQ(seen_rows(buffer(), 28, 20, 80, 24, 7),
              (Rows{" <0:two>", " <0:three>", " <0:four>", " <0:five>"}));

    select_info_window();
    show_info("A branch of a %s tree, %d from trunk.\n", "Beech", 1);
    show_info("The ground.");
    EXPECT_EQ(seen_rows(buffer(), 0, 20, 28, 25, 2), (Rows{"The ground.", "", "", "", ""}));
    EXPECT_EQ((std::array{print_x, print_y}), (std::array{11, 20}));

    // print_fmt keeps 511 characters: five full rows, then the last 80 fit a line of
    // their own and move down. format_string keeps 1023.
    const std::string long_text(1500, 'w');
    blank_screen();
    print_fmt("%s", long_text.c_str());
    EXPECT_EQ(row(5, 0, 32) + row(6) + row(7, 0, 1),
              std::string(31, 'w') + " " + std::string(80, 'w') + " ");
    EXPECT_EQ(std::string(format_string("%s", long_text.c_str())), long_text.substr(0, 1023));
    // Source and limit, then the destination's ten bytes.
    const std::tuple<const char*, std::size_t, const char*> copies[] = {
        {"Library|Needs a librarian.", 8, "Library\0##"}, {"Library|x", 1, "\0#########"}};
    for (const auto& [source, n, bytes] : copies) {
        std::string destination(10, '#');
        EXPECT_EQ(copy_string(destination.data(), source, n), destination.data());
        EXPECT_EQ(destination, std::string(bytes, 10)) << source << " " << n;
    }
}

TEST_F(Terminal, KeysPolledWaitedForAndDecoded) {
    const InputEvent release{false, 'r', 'R'};
    for (const InputEvent& event :
         {release, release, InputEvent{true, 'a', 'A'}, release, InputEvent{true, 'b', 'B'}}) {
        headless_push_event(event);
    }
    EXPECT_EQ((std::array{poll_key(), headless_queued_events(), poll_key(), poll_key()}),
              (std::array<int, 4>{'a', 2, 'b', 0}));

    // Printable characters come as themselves ("&" and "(" share the codes of Up and
    // Down), anything else as its virtual-key code: F1 (the code of "p"), Ctrl-letters,
    // and character bytes of 128 and above.
    const std::array<int, 3> keys[] = {// character byte, virtual-key code, key code
                                       {'a', 'A', 97},     {'&', '7', 38},    {'(', '9', 40},
                                       {0, 112, 'p'},      {1, 'A', 65},      {26, 'Z', 90},
                                       {0xE9, 0x32, 0x32}, {0x80, 0xDE, 0xDE}};
    for (const auto& [character, virtual_key, code] : keys) {
        headless_push_key(character, virtual_key);
        EXPECT_EQ(poll_key(), code) << character;
        headless_push_event(release);  // wait_key reads past releases to the press
        headless_push_key(character, virtual_key);
        EXPECT_EQ(wait_key(), code) << character;
    }
}

}  // namespace
