// The pure half of the Windows console: what the console is handed for a frame, which
// input records reach the game as which keys, and how its size is given back.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/windows/windows_convert.h"
#include "terminal/keyboard.h"

namespace {

TEST(WindowsCells, GlyphsBelowSpaceAreSentAsTheirPictures) {
    // Code page 437 bytes, and the wide glyphs the console gets for them.
    const std::uint8_t bytes[] = {0x10, 0x11, 0x1E, 0x1F, 0x07, 0x18, 0x19, 0x1A,
                                  0x1B, 0x02, 0x00, 'A',  0xC6, 0xDB, 0xFA};
    const std::u16string glyphs = u"►◄▲▼•↑↓→←☻ A╞█·";
    // Each cell with colours of its own (bright backgrounds among them), and grid-line and
    // underline bits the console must never get.
    Cell cells[SCREEN_CELLS] = {};
    for (std::size_t i = 0; i < std::size(bytes); ++i) {
        cells[i * 81] = Cell{bytes[i], static_cast<std::uint16_t>(0x8F00 | (0x7A + i))};
    }
    static CHAR_INFO wide[SCREEN_CELLS];
    windows_cells(cells, wide);
    std::u16string shown;
    std::vector<WORD> attributes, colours;
    for (std::size_t i = 0; i < std::size(bytes); ++i) {
        shown += static_cast<char16_t>(wide[i * 81].Char.UnicodeChar);
        attributes.push_back(wide[i * 81].Attributes);
        colours.push_back(static_cast<WORD>(0x7A + i));
    }
    EXPECT_EQ(shown, glyphs);
    EXPECT_EQ(attributes, colours);
    // A cell never set is a blank on black, not a control code.
    EXPECT_EQ(std::pair(wide[1].Char.UnicodeChar, wide[1].Attributes),
              std::pair(WCHAR{L' '}, WORD{0}));
}

INPUT_RECORD key_record(bool down, char character, WORD virtual_key, WORD repeat = 1) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = repeat;
    record.Event.KeyEvent.wVirtualKeyCode = virtual_key;
    record.Event.KeyEvent.uChar.AsciiChar = character;
    return record;
}

INPUT_RECORD other_record(WORD type) {
    INPUT_RECORD record{};
    record.EventType = type;
    return record;
}

// Records as the console delivers them, read through the game's own keyboard.
TEST(WindowsKeys, RecordsReachTheGameAsKeyCodes) {
    const std::tuple<const char*, INPUT_RECORD, std::int32_t> cases[] = {
        {"a", key_record(true, 'a', 'A'), 'a'},
        {"Shift+A", key_record(true, 'A', 'A'), 'A'},
        // Escape may come without its character byte; its virtual-key code is the same.
        {"Escape, no character", key_record(true, 0, VK_ESCAPE), 27},
        {"Escape", key_record(true, 27, VK_ESCAPE), 27},
        {"Enter", key_record(true, '\r', VK_RETURN), 13},
        {"Tab", key_record(true, '\t', VK_TAB), 9},
        {"Home", key_record(true, 0, VK_HOME), 36},
        {"End", key_record(true, 0, VK_END), 35},
        {"Left", key_record(true, 0, VK_LEFT), 37},
        {"Down", key_record(true, 0, VK_DOWN), 40},
        {"&", key_record(true, '&', '7'), 38},
        {"Ctrl+Q", key_record(true, 0x11, 'Q'), 'Q'},
        {"e acute", key_record(true, static_cast<char>(0x82), 0xDE), 0xDE},
        {"F1", key_record(true, 0, VK_F1), 'p'},
        {"Shift", key_record(true, 0, VK_SHIFT), 16},
        // A key held down repeats as one code per record.
        {"held x", key_record(true, 'x', 'X', 5), 'x'},
        {"release", key_record(false, 'a', 'A'), 0},
        {"mouse", other_record(MOUSE_EVENT), 0},
        {"resize", other_record(WINDOW_BUFFER_SIZE_EVENT), 0},
        {"focus", other_record(FOCUS_EVENT), 0},
        {"menu", other_record(MENU_EVENT), 0},
    };
    for (const auto& [name, record, code] : cases) {
        SCOPED_TRACE(name);
        headless_reset();
        headless_push_event(windows_input_event(record));
        EXPECT_EQ(poll_key(), code);
        EXPECT_EQ(headless_queued_events(), 0);
    }
}

TEST(WindowsGeometry, TheConsoleGetsItsSizeBackUnderThePicture) {
    // Buffer and window as found (columns, rows), then the steps that give them back.
    struct Case {
        const char* name;
        COORD buffer, window;
        COORD grow;
        SMALL_RECT shown;
        COORD cursor;
    };
    const Case cases[] = {
        {"a long scrollback", {120, 9001}, {120, 30}, {120, 9001}, {0, 0, 119, 29}, {0, 24}},
        {"the picture's size", {80, 25}, {80, 25}, {80, 25}, {0, 0, 79, 24}, {0, 24}},
        {"smaller than the picture", {60, 20}, {60, 20}, {80, 25}, {0, 0, 59, 19}, {0, 19}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CONSOLE_SCREEN_BUFFER_INFO info{};
        info.dwSize = c.buffer;
        info.srWindow =
            SMALL_RECT{0, static_cast<SHORT>(c.buffer.Y - c.window.Y),
                       static_cast<SHORT>(c.window.X - 1), static_cast<SHORT>(c.buffer.Y - 1)};
        const RestoreSteps steps = console_restore_steps(console_geometry(info));
        const auto xy = [](COORD at) { return std::pair(at.X, at.Y); };
        const auto box = [](SMALL_RECT r) { return std::tuple(r.Left, r.Top, r.Right, r.Bottom); };
        EXPECT_EQ(xy(steps.grow_buffer), xy(c.grow));
        EXPECT_EQ(box(steps.window), box(c.shown));
        EXPECT_EQ(xy(steps.final_buffer), xy(c.buffer));
        EXPECT_EQ(xy(steps.cursor), xy(c.cursor));
    }
}

}  // namespace
