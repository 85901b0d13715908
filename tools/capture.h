// Screen captures of a terminal running the game, as `tmux capture-pane -p` writes
// them (25 lines of UTF-8 text) or with colours as `capture-pane -p -e` writes them
// (SGR escape sequences), read and compared cell by cell with a replayed screen.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"

struct CapturedCell {
    char32_t glyph = U' ';
    int foreground = -1;  // console colour 0..15; -1: not captured (a trimmed line end,
    int background = -1;  // or a capture without colours); 16: no console colour
};

struct Capture {
    std::vector<CapturedCell> cells;  // SCREEN_CELLS, row-major
    bool has_colours = false;
};

struct CaptureReadResult {
    std::optional<Capture> capture;
    std::string error;  // one line, "line N: ...", when there is no capture
};

// Reads a capture. Lines may end early (the terminal drops trailing blanks); a line
// longer than the screen, more lines than the screen, text that is not UTF-8 or a
// control character other than an escape sequence is an error.
CaptureReadResult read_capture(std::string_view text);

// The cells where the screen and the capture differ, one line each, "line L, column C:
// ..." counted from 1 as in the capture; colours are compared where the capture has
// them.
std::vector<std::string> capture_differences(const std::vector<Cell>& screen,
                                             const Capture& capture);
