#include "platform/windows/windows_convert.h"

#include <algorithm>

#include "platform/cp437.h"

void windows_cells(const Cell* cells, CHAR_INFO* out) {
    for (int i = 0; i < SCREEN_CELLS; ++i) {
        // Every glyph of the table lies in the Basic Multilingual Plane: one UTF-16 unit.
        out[i].Char.UnicodeChar = static_cast<WCHAR>(cp437_to_unicode[cells[i].character & 0xFF]);
        // Only colours: the bits above them would draw grid lines or underlines.
        out[i].Attributes = static_cast<WORD>(cells[i].attribute & 0xFF);
    }
}

InputEvent windows_input_event(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT) {
        return InputEvent{false, 0, 0};
    }
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    return InputEvent{key.bKeyDown != FALSE, static_cast<std::uint8_t>(key.uChar.AsciiChar),
                      key.wVirtualKeyCode};
}

ConsoleGeometry console_geometry(const CONSOLE_SCREEN_BUFFER_INFO& info) {
    const SMALL_RECT& shown = info.srWindow;
    return ConsoleGeometry{
        info.dwSize,
        COORD{static_cast<SHORT>(shown.Right - shown.Left + 1),
              static_cast<SHORT>(shown.Bottom - shown.Top + 1)},
    };
}

RestoreSteps console_restore_steps(const ConsoleGeometry& found) {
    // The buffer must always hold the window, so it grows before the window does and
    // shrinks only after it.
    const auto larger = [](SHORT a, SHORT b) { return std::max(a, b); };
    const COORD grow{larger(larger(found.buffer.X, found.window.X), SHORT{SCREEN_WIDTH}),
                     larger(larger(found.buffer.Y, found.window.Y), SHORT{SCREEN_HEIGHT})};
    const SMALL_RECT window{0, 0, static_cast<SHORT>(found.window.X - 1),
                            static_cast<SHORT>(found.window.Y - 1)};
    const SHORT last_row = std::min<SHORT>(SCREEN_HEIGHT - 1, found.buffer.Y - 1);
    return RestoreSteps{grow, window, found.buffer, COORD{0, std::max<SHORT>(last_row, 0)}};
}
