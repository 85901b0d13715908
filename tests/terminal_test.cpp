// The terminal as the player sees it: windows, printing, the map cursor's blink, the
// message regions and the keyboard.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "terminal/messages.h"
#include "world/world.h"

namespace {

class Terminal : public FreshGame {
  protected:
    // A rectangle's rows joined by '/', trailing blanks dropped: as text, or with `shift`
    // 0 or 4 as one hex digit a cell for its foreground or background.
    static std::string picture(int x0, int y0, int x1, int y1, int shift = -1) {
        std::string out;
        for (int y = y0; y < y1; ++y) {
            std::string line = shift < 0 ? row(y, x0, x1) : "";
            for (int x = x0; shift >= 0 && x < x1; ++x) {
                line += "0123456789ABCDEF"[(attr(x, y) >> shift) & 0xF];
            }
            out += (y > y0 ? "/" : "") + line.erase(line.find_last_not_of(" 0"[shift >= 0]) + 1);
        }
        return out;
    }
    // Cells outside the rectangle whose attribute is no longer 0.
    static int touched_outside(int x0, int y0, int x1, int y1) {
        int count = 0;
        for (int i = 0; i < SCREEN_CELLS; ++i) {
            const int x = i % SCREEN_WIDTH, y = i / SCREEN_WIDTH;
            count += (x < x0 || x >= x1 || y < y0 || y >= y1) && attr(x, y) != 0 ? 1 : 0;
        }
        return count;
    }
    static std::string same_rows(const std::string& line, int count) {
        std::string out = line;
        for (int i = 1; i < count; ++i) {
            out += "/" + line;
        }
        return out;
    }
    static void blank_screen() {
        set_window(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT);
        clear_window(0);
    }
};

TEST_F(Terminal, PrintWrapsClipsHighlightsAndScrolls) {
    struct Case {  // printed in light grey in a window at (5, 2), three rows high
        std::vector<const char*> texts;
        int width, wrap;
        bool from_top;  // clear_window first; else from set_window's bottom-left
        const char *rows, *fg;
        int end_x, end_y;
    } const cases[] = {
        // A word that does not fit goes to the next line, unless it would not fit there
        // either: then it breaks where its rest fits an empty line, or at the edge.
        {{"abcd efghijk"}, 10, 1, true, "abcd/efghijk/", "77777/7777777/", 12, 3},
        {{"abcdefghijkl"}, 10, 1, true, "ab/cdefghijkl/", "77/7777777777/", 5, 4},
        {{"abcdefghijklmnopqrst"}, 8, 1, true, "ijkl/mnopqrst/", "7777/77777777/77777777", 5, 4},
        // At the edge: following spaces vanish, a newline gives an empty line; no wrap clips.
        {{"abcdefghij   xy"}, 10, 1, true, "abcdefghij/xy/", "7777777777/77/", 7, 3},
        {{"abcdefghij\nxy"}, 10, 1, true, "abcdefghij//xy", "7777777777//77", 7, 4},
        {{"abcdefghijklmn\nxy"}, 10, 0, true, "abcdefghij/xy/", "7777777777/77/", 7, 3},
        // A newline on the bottom row scrolls; the new row is blank in the text colours.
        {{"x\n"}, 10, 1, false, "/x/", "/7/7777777777", 5, 4},
        {{"a\nb\nc\nd"}, 10, 1, true, "b/c/d", "7/7/7777777777", 6, 4},
        // Braces: never drawn nor measured; { whitens, } restores, the call's end restores.
        {{" {C}onstruction"}, 13, 1, true, " Construction//", "7F77777777777//", 5, 3},
        {{"ab{cd", "ef"}, 10, 0, true, "abcdef//", "77FF77//", 11, 2},
        {{"a{b}c}d{e{f"}, 10, 0, true, "abcdef//", "7F77FF//", 11, 2},
        {{""}, 10, 1, false, "//", "//", 5, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.texts[0]);
        blank_screen();
        set_window(5, 2, 5 + c.width, 5);
        if (c.from_top) {
            clear_window(0);
        }
        set_text_colour(7, 0x00);
        word_wrap = c.wrap;
        for (const char* text : c.texts) {
            print_text(text);
        }
        EXPECT_EQ(picture(5, 2, 5 + c.width, 5), c.rows);
        EXPECT_EQ(picture(5, 2, 5 + c.width, 5, 0), c.fg);
        EXPECT_EQ((std::array{print_x, print_y, text_fg}), (std::array{c.end_x, c.end_y, 7}));
        EXPECT_EQ(touched_outside(5, 2, 5 + c.width, 5), 0);
    }
}

TEST_F(Terminal, WindowsPlaceTheCursorClearAndClip) {
    set_text_colour(12, 0x20);
    word_wrap = 1;
    set_window(26, 8, 60, 25);
    EXPECT_EQ((std::array{print_x, print_y}), (std::array{26, 24}));
    clear_window(0x4E);
    EXPECT_EQ((std::array{print_x, print_y, text_fg, text_bg, word_wrap}),
              (std::array{26, 8, 12, 0x20, 1}));
    EXPECT_EQ(picture(25, 24, 61, 25, 4), "0" + std::string(34, '4'));
    EXPECT_EQ(touched_outside(26, 8, 60, 25), 0);
    set_window(3, 5, 10, 5);  // no rows: clearing only moves the cursor
    clear_window(0x11);
    EXPECT_EQ((std::array{print_x, print_y, touched_outside(26, 8, 60, 25)}),
              (std::array{3, 5, 0}));

    struct Put {
        int x, y;
        bool written;
    } const cells[] = {{10, 5, true},  {19, 7, true},   {9, 5, false},
                       {20, 5, false}, {10, 4, false},  {10, 8, false},
                       {0, 0, false},  {-1, -1, false}, {85, 30, false}};
    for (const Put& p : cells) {
        blank_screen();
        set_window(10, 5, 20, 8);
        put_cell(p.x, p.y, 'Z', 0x5A);
        EXPECT_EQ(touched_outside(0, 0, 0, 0), p.written ? 1 : 0) << p.x << "," << p.y;
        EXPECT_EQ(touched_outside(p.x, p.y, p.x + 1, p.y + 1), 0) << p.x << "," << p.y;
    }
    view_x = 100;
    view_y = 50;
    put_map_cell(110, 56, 'M', 0x0A);
    EXPECT_EQ((std::array<int, 2>{glyph(10, 6), attr(10, 6)}), (std::array<int, 2>{'M', 0x0A}));
}

TEST_F(Terminal, ScrollMovesOnlyTheWindow) {
    blank_screen();
    for (int i = 2 * SCREEN_WIDTH; i < 7 * SCREEN_WIDTH; ++i) {
        const int y = i / SCREEN_WIDTH;
        put_cell(i % SCREEN_WIDTH, y, static_cast<std::uint8_t>('0' + y),
                 static_cast<std::uint16_t>(y));
    }
    set_window(2, 3, 8, 6);
    print_x = 4;
    set_text_colour(14, 0x40);
    scroll_window();
    EXPECT_EQ(picture(0, 2, 10, 7), "2222222222/3344444433/4455555544/55      55/6666666666");
    EXPECT_EQ(picture(0, 2, 10, 7, 0), "2222222222/3344444433/4455555544/55EEEEEE55/6666666666");
    EXPECT_EQ(picture(0, 2, 10, 7, 4), "///00444444/");
    EXPECT_EQ((std::array{print_x, print_y}), (std::array{4, 5}));
}

TEST_F(Terminal, RegionSelectorsSetRectangleColoursAndWrap) {
    struct Region {  // x0 y0 x1 y1, print x y, bg fg wrap
        void (*select)();
        std::array<std::int32_t, 9> state;
    } const regions[] = {
        {[] { select_map_window(); }, {0, 0, 54, 20, 0, 19, 0x00, 7, 1}},
        {[] { select_menu_window(0); }, {54, 0, 80, 15, 54, 14, 0x10, 7, 0}},
        {[] { select_menu_window(1); }, {55, 0, 80, 15, 55, 14, 0x10, 7, 0}},
        {[] { select_detail_window(0); }, {54, 15, 80, 20, 54, 19, 0x30, 7, 1}},
        {[] { select_detail_window(1); }, {55, 15, 79, 20, 55, 19, 0x30, 7, 1}},
        {[] { select_message_window(0); }, {28, 20, 80, 24, 28, 23, 0x70, 0, 1}},
        {[] { select_message_window(1); }, {29, 20, 79, 24, 29, 23, 0x70, 0, 1}},
        {[] { select_info_window(); }, {0, 20, 28, 25, 0, 24, 0x20, 7, 1}},
        {[] { select_status_line(); }, {0, 24, 80, 25, 0, 24, 0x00, 7, 0}},
    };
    for (const Region& r : regions) {
        set_text_colour(13, 0x50);
        word_wrap = 3;
        r.select();
        EXPECT_EQ((std::array{win_x0, win_y0, win_x1, win_y1, print_x, print_y, text_bg, text_fg,
                              word_wrap}),
                  r.state);
        EXPECT_EQ(touched_outside(0, 0, 0, 0), 0) << "a selector drew";
    }
}

TEST_F(Terminal, ViewportFollowsTheCursorOneStepACall) {
    struct Case {  // view x y and cursor x y before; view x y and cursor's screen x y after
        std::array<std::int32_t, 4> before, after;
    } const cases[] = {
        {{0, 0, -1, 0}, {-6, 0, 5, 0}},       {{0, 0, 53, 19}, {0, 0, 53, 19}},
        {{0, 0, 54, 0}, {6, 0, 48, 0}},       {{0, 0, 0, -1}, {0, -3, 0, 2}},
        {{0, 0, 0, 20}, {0, 3, 0, 17}},       {{0, 0, 100, 50}, {6, 3, 94, 47}},
        {{10, 10, -20, 10}, {4, 10, -24, 0}},
    };
    for (const Case& c : cases) {
        std::tie(view_x, view_y, cursor_x, cursor_y) = std::tuple_cat(c.before);  // array as tuple
        follow_cursor();
        EXPECT_EQ((std::array{view_x, view_y, cursor_screen_x, cursor_screen_y}), c.after);
    }
}

TEST_F(Terminal, FlushBlinksTheCursorCell) {
    // Frame time, then the cursor cell's character and attribute as flushed.
    const std::array<int, 3> blink[] = {
        {0, 'X', 0x07}, {256, 'X', 0x30}, {512, 'X', 0x07}, {768, ' ', 0x30}, {1280, 'X', 0x30}};
    cursor_screen_x = 3;
    cursor_screen_y = 2;
    for (const auto& b : blink) {
        blank_screen();
        put_cell(3, 2, 'X', 0x07);
        frame_time = static_cast<std::uint32_t>(b[0]);
        flush_screen();
        const Cell shown = headless_last_frame()[2 * SCREEN_WIDTH + 3];
        EXPECT_EQ((std::array<int, 3>{b[0], shown.character, shown.attribute}), b);
        EXPECT_EQ(frame_text(headless_last_frame()), frame_text(buffer()));
        EXPECT_EQ(touched_outside(3, 2, 4, 3), 0);
    }
}

// Nothing here may reach outside screen_buffer; the sanitizer build checks the memory.
TEST_F(Terminal, WindowsAndCursorsOffTheScreenStayInTheBuffer) {
    blank_screen();
    set_text_colour(15, 0x10);
    const char* text = "a rather long line of words\nthat wraps and scrolls\n\n\n\n\n\nagain";
    const std::array<std::int32_t, 4> windows[] = {
        {70, 20, 95, 30}, {-10, -5, 5, 3}, {100, 30, 120, 40}, {40, 10, 30, 5}, {60, 8, 60, 12}};
    for (const auto& w : windows) {
        set_window(w[0], w[1], w[2], w[3]);
        clear_window(0x1F);
        for (const std::int32_t wrap : {0, 1}) {
            word_wrap = wrap;
            print_text(text);
            scroll_window();
        }
        put_cell(w[0] - 1, w[1] - 1, '#', 0x1F);
    }
    EXPECT_EQ(picture(69, 19, 80, 21, 4), "/01111111111");
    EXPECT_EQ(picture(0, 2, 6, 4, 4), "11111/");
    set_window(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT);
    for (const std::array<std::int32_t, 2> at :
         {std::array{-3, -2}, {200, 40}, {79, 24}, {-90, 12}}) {
        print_x = at[0];
        print_y = at[1];
        print_text("abc defgh\nij");
    }
    frame_time = 768;
    for (const std::int32_t at : {-5, 80, 2000}) {
        cursor_screen_x = cursor_screen_y = at;
        flush_screen();
    }
}

TEST_F(Terminal, PrintFmtCutsAnOverlongText) {
    std::string digits;
    for (int i = 0; i < 600; ++i) {
        digits += static_cast<char>('0' + i % 10);
    }
    blank_screen();
    word_wrap = 1;
    print_fmt("%s", digits.c_str());
    // 511 digits: five full rows, then the last 80 fit a line of their own and move down.
    EXPECT_EQ(picture(0, 5, 80, 8), digits.substr(400, 31) + "/" + digits.substr(431, 80) + "/");
}

TEST_F(Terminal, MessageRegions) {
    select_message_window(0);
    clear_window(0x70);
    for (const char* message : {"one", "two", "three", "four", "five"}) {
        log_message("%s", message);
    }
    EXPECT_EQ(picture(28, 20, 80, 24), " two/ three/ four/ five");
    EXPECT_EQ(picture(28, 20, 80, 24, 4), same_rows(std::string(52, '7'), 4));
    EXPECT_EQ(picture(28, 20, 80, 24, 0), "///");  // black text
    log_message("%s has begun building a sleeping platform near the %s", "Aldaron", "oaks");
    EXPECT_EQ(picture(29, 20, 79, 24),
              "four/five/Aldaron has begun building a sleeping platform/near the oaks");

    select_detail_window(0);
    clear_window(0x30);
    show_feedback("No elf selected.");
    text_fg = 4;  // the selector puts the detail box's own colour back
    show_feedback("Assigned %s as %s.", "Ailinn", "Woodworker");
    EXPECT_EQ(picture(55, 15, 79, 20), "//No elf selected./Assigned Ailinn as/Woodworker.");
    EXPECT_EQ(picture(55, 17, 79, 20, 0), same_rows(std::string(24, '7'), 3));  // not red
    show_feedback("\n\n\n\n");
    EXPECT_EQ(picture(54, 15, 80, 20), "////");
    EXPECT_EQ(picture(54, 15, 80, 20, 0), same_rows("0" + std::string(24, '7'), 5));
    EXPECT_EQ(picture(54, 15, 80, 20, 4), same_rows(std::string(26, '3'), 5));

    select_info_window();
    show_info("A branch of a %s tree, %d from trunk.\n", "Beech", 1);
    EXPECT_EQ(picture(0, 20, 28, 23), "A branch of a Beech tree, 1/from trunk./");
    show_info("The ground.");
    EXPECT_EQ(picture(0, 20, 28, 25), "The ground.////");
    EXPECT_EQ(picture(0, 20, 28, 21, 0), "77777777777");
    EXPECT_EQ(picture(0, 20, 28, 25, 4), same_rows(std::string(28, '2'), 5));
    EXPECT_EQ((std::array{print_x, print_y}), (std::array{11, 20}));

    select_menu_window(1);
    clear_window(0x10);
    for (const char* line :
         {"Main menu:", " {C}onstruction", "A line far too long for the menu panel", " {Q}uit"}) {
        print_line("%s", line);
    }
    EXPECT_EQ(picture(54, 0, 80, 5),
              " Main menu:/  Construction/ A line far too long for t/  Quit/");
    EXPECT_EQ(picture(55, 1, 80, 2, 0), "7F77777777777");
}

TEST_F(Terminal, FormatAndCopyStrings) {
    // Each result is a copy of its own, kept by the game until a fresh game starts.
    const std::string long_text(1500, 'w');
    const char* cut = format_string("%s", long_text.c_str());
    const char* rabbit = format_string("%s the rabbit", "Flopsy");
    EXPECT_EQ(std::string(cut), long_text.substr(0, 1023));
    EXPECT_STREQ(rabbit, "Flopsy the rabbit");

    struct Copy {
        const char* source;
        std::size_t n;
        const char* bytes;  // the destination's ten bytes, '.' for NUL
    } const copies[] = {{"Library|Needs a librarian.", 8, "Library.##"},
                        {"Library|x", 1, ".#########"},
                        {"Oak", 8, "Oak.....##"}};
    for (const Copy& c : copies) {
        char destination[10];
        std::memset(destination, '#', sizeof destination);
        EXPECT_EQ(copy_string(destination, c.source, c.n), destination);
        std::string bytes(destination, sizeof destination);
        std::replace(bytes.begin(), bytes.end(), '\0', '.');
        EXPECT_EQ(bytes, c.bytes) << c.source << " " << c.n;
    }
}

class Keyboard : public FreshGame {};

TEST_F(Keyboard, PollTakesOnePressAndDropsReleasesInFront) {
    const InputEvent release{false, 'r', 'R'};
    headless_push_char('a');
    headless_push_char('b');
    EXPECT_EQ((std::array{poll_key(), headless_queued_events()}), (std::array<int, 2>{'a', 1}));
    EXPECT_EQ((std::array{poll_key(), poll_key()}), (std::array<int, 2>{'b', 0}));
    for (const InputEvent& event : {release, release, InputEvent{true, 'c', 'C'}, release}) {
        headless_push_event(event);
    }
    EXPECT_EQ((std::array{poll_key(), headless_queued_events()}), (std::array<int, 2>{'c', 1}));
    EXPECT_EQ((std::array{poll_key(), headless_queued_events()}), (std::array{0, 0}));
    for (const InputEvent& event : {release, release, InputEvent{true, 0, 16}}) {
        headless_push_event(event);  // Shift alone is a key press for wait_key
    }
    EXPECT_EQ((std::array{wait_key(), headless_queued_events()}), (std::array{16, 0}));
}

TEST_F(Keyboard, CharactersAndKeysShareOneValueSpace) {
    // Printable characters come as themselves, in the case typed ("&" and "(" share the
    // codes of Up and Down); anything else as its virtual-key code: Up, F1 (the code of
    // "p"), Ctrl-letters, DEL, Tab, and character bytes of 128 and above.
    struct Case {  // character byte, virtual-key code, key code
        std::uint8_t character;
        std::uint16_t virtual_key;
        std::int32_t code;
    } const cases[] = {{'a', 'A', 97},     {'A', 'A', 65},    {'&', '7', 38}, {'(', '9', 40},
                       {' ', 32, 32},      {'~', 0xC0, 126},  {0, 38, 38},    {0, 112, 'p'},
                       {1, 'A', 65},       {26, 'Z', 90},     {127, 46, 46},  {9, 9, 9},
                       {0xE9, 0x32, 0x32}, {0x80, 0xDE, 0xDE}};
    for (const Case& c : cases) {
        headless_push_key(c.character, c.virtual_key);
        EXPECT_EQ(poll_key(), c.code) << int{c.character};
        headless_push_event(InputEvent{false, c.character, c.virtual_key});
        headless_push_key(c.character, c.virtual_key);
        EXPECT_EQ(wait_key(), c.code) << int{c.character};
    }
}

}  // namespace
