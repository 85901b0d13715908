// A fresh game for every test: the headless console, every global back to its state at
// process start, and small helpers to press keys, run frames and read the screen.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "app/game.h"
#include "platform/headless/headless.h"  // and with it <cstdint>, <string> and <vector>
#include "terminal/screen.h"
#include "ui/menus.h"
#include "world/world.h"

// A whole file as it stands on disk; empty when there is none.
inline std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class FreshGame : public ::testing::Test {
  protected:
    void SetUp() override {
        headless_reset();
        reset_game();
        console_open();
    }

    // Seeds, builds the world and gets through the intro and title screens as a player
    // pressing the space bar would.
    void start(std::uint32_t seed) {
        headless_answer_waits(2);
        start_game(seed);
    }

    // Runs frames whose step is `ms` milliseconds of real time each.
    void run_frames(int count, std::uint32_t ms = 50) {
        for (int i = 0; i < count; ++i) {
            headless_set_clock(frame_time + ms);
            run_frame();
        }
    }

    // Queues keys by name ("Tab", "Enter", "Esc", "Up", "q", ...), then runs one frame
    // per key so that each is read by the frame loop.
    void press(std::initializer_list<const char*> keys, std::uint32_t ms = 50) {
        for (const char* key : keys) {
            EXPECT_TRUE(headless_push_named_key(key)) << key;
            run_frames(1, ms);
        }
    }

    // The screen buffer as it stands now (not only as last flushed).
    static Frame buffer() { return Frame(screen_buffer, screen_buffer + SCREEN_CELLS); }
    static std::string row(int y, int x0 = 0, int x1 = SCREEN_WIDTH) {
        return frame_row_text(buffer(), y, x0, x1);
    }
    // Rows y0 to y1 - 1 of columns x0 to x1 - 1 as text, blanks at row ends dropped,
    // joined by '|'.
    static std::string text(int x0, int y0, int x1, int y1) {
        std::string out;
        for (int y = y0; y < y1; ++y) {
            const std::string line = row(y, x0, x1);
            out += (y > y0 ? "|" : "") + line.substr(0, line.find_last_not_of(' ') + 1);
        }
        return out;
    }
    // A whole frame, text then attributes, for comparing two frames.
    static std::string picture(const Frame& frame) {
        return frame_text(frame) + frame_attributes(frame);
    }
    static Cell& cell_at(int x, int y) { return screen_buffer[y * SCREEN_WIDTH + x]; }
    static std::uint16_t attr(int x, int y) { return cell_at(x, y).attribute; }

    // Puts the map cursor on a cell with the viewport around it, then runs one frame so
    // that the map view records what lies there.
    void aim_cursor(std::int32_t x, std::int32_t y, std::int32_t level) {
        std::tie(cursor_x, cursor_y, view_x, view_y, view_level) =
            std::tuple(x, y, x - 27, y - 10, level);
        follow_cursor();
        run_frames(1);
    }
};
