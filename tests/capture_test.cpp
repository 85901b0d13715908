// Terminal captures as canopy-sim --verify reads them: plain text and text with colour
// sequences in the forms terminals use, compared cell by cell with a screen.
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tools/capture.h"

namespace {

using Lines = std::vector<std::string>;

// Light grey on black, "Hi" in white on blue at the top left, a smiling face (code 1)
// in yellow in the bottom right corner.
Frame sample_screen() {
    Frame frame(SCREEN_CELLS, Cell{' ', 0x07});
    frame[0] = Cell{'H', 0x1F};
    frame[1] = Cell{'i', 0x1F};
    frame[SCREEN_CELLS - 1] = Cell{1, 0x0E};
    return frame;
}

// A capture: the first line, 23 blank ones, then the last line.
std::string capture(const std::string& first, const std::string& last) {
    std::string text = first + "\n";
    for (int i = 0; i < 23; ++i) {
        text += "\n";
    }
    return text + last + "\n";
}

Lines differences(const std::string& text) {
    const CaptureReadResult read = read_capture(text);
    if (!read.capture) {
        return {read.error};
    }
    return capture_differences(sample_screen(), *read.capture);
}

const std::string FACE = "\u263A";
const std::string BLANKS(79, ' ');

TEST(Capture, ColoursAreComparedInEveryFormTerminalsWrite) {
    const std::string grey = "\033[37m\033[40m" + BLANKS + "\033[93m" + FACE;
    const std::pair<std::string, Lines> cases[] = {
        // Sixteen colours, as tmux writes them; blanks trimmed at line ends have none.
        {"\033[97m\033[44mHi", {}},
        // Eight colours with bold for bright, combined parameters, reset.
        {"\033[0;1;37;44mHi\033[0m", {}},
        // Reverse video, palette indices, an empty parameter list resetting.
        {"\033[34;107;7mH\033[m\033[38;5;15;48:5:4mi", {}},
        // Hyperlinks and other strings are skipped.
        {"\033]8;;http://example.com\033\\\033[97;44mHi\033]8;;\a", {}},
        {"\033[97;41mH\033[38;5;200mi",
         {"line 1, column 1: the replay shows 'H' in white on blue, the capture 'H' in white "
          "on red",
          "line 1, column 2: the replay shows 'i' in white on blue, the capture 'i' in no "
          "console colour on red"}},
        {"\033[38;2;255;255;255;44mH\033[97mi",
         {"line 1, column 1: the replay shows 'H' in white on blue, the capture 'H' in no "
          "console colour on blue"}},
    };
    for (const auto& [first, expected] : cases) {
        EXPECT_EQ(differences(capture(first, grey)), expected) << first;
    }
    // Default colours stand for the console's own, light grey on black.
    EXPECT_EQ(differences(capture("\033[97;44mHi\033[39;49m", BLANKS + "\033[93m" + FACE)),
              Lines{});
    EXPECT_EQ(differences(capture("\033[97;44mHi", "\033[37;40m" + BLANKS + "\033[33m" + FACE)),
              Lines{"line 25, column 80: the replay shows '\u263A' in yellow on black, the "
                    "capture '\u263A' in brown on black"});
}

TEST(Capture, WhatIsNoScreenIsOneLineNamingTheLine) {
    const std::pair<std::string, const char*> cases[] = {
        {capture("", "") + "x\n", "line 26: the screen has only 25 lines"},
        {std::string(81, 'x'), "line 1: longer than the screen's 80 columns"},
        {"ok\n\xff", "line 2: not UTF-8 text"},
        {"\xc0\xaf", "line 1: not UTF-8 text"},      // an overlong slash
        {"\xed\xa0\x80", "line 1: not UTF-8 text"},  // a surrogate
        {"\xe2\x98", "line 1: not UTF-8 text"},      // cut short
        {"a\tb", "line 1: a control character, not a screen"},
        {"abc\033[3", "line 1: cut short inside an escape sequence"},
        {"abc\033]8;;never ends", "line 1: cut short inside an escape sequence"},
    };
    for (const auto& [text, error] : cases) {
        EXPECT_EQ(differences(text), Lines{error});
    }
    // Empty lines beyond the screen, as a capture may end, are no more lines.
    EXPECT_EQ(differences(capture("Hi", BLANKS + FACE) + "\n\n"), Lines{});
}

}  // namespace
