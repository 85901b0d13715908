// The pure half of the Windows console: how the game's cells become the console's
// wide cells, how an input record becomes a key press, and the sizes the console is
// given back at the end. Nothing here calls the console, so all of it can be checked
// without one.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/console.h"

// Each cell as its code page 437 glyph in Unicode, with its colours. Consoles pass
// narrow bytes below 0x20 through to the terminal as control codes, which would break
// the triangles, bullets and arrows the game draws; wide glyphs always show.
void windows_cells(const Cell* cells, CHAR_INFO* out);

// A key event as the game's key press: its key-down flag, its ANSI character byte and
// its virtual-key code. Mouse, focus, menu and size events are no key presses.
InputEvent windows_input_event(const INPUT_RECORD& record);

// The console's buffer and window as found, and the steps that give them back after
// the game's 80x25: the buffer first grows to hold both the old window and the
// game's picture, then the window takes its old size at the top, where the picture
// is, then the buffer takes its old size.
struct ConsoleGeometry {
    COORD buffer;  // columns and rows
    COORD window;  // columns and rows shown
};
ConsoleGeometry console_geometry(const CONSOLE_SCREEN_BUFFER_INFO& info);

struct RestoreSteps {
    COORD grow_buffer;
    SMALL_RECT window;
    COORD final_buffer;
    COORD cursor;  // column 0 of the picture's last row, or the buffer's last row
};
RestoreSteps console_restore_steps(const ConsoleGeometry& found);
