// A fresh game for every test: the headless console, every global back to its state at
// process start, and small helpers to run frames and read the screen.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "app/game.h"
#include "platform/headless/headless.h"  // and with it <cstdint>, <string> and <vector>
#include "terminal/screen.h"
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

    // The screen buffer as it stands now (not only as last flushed).
    static Frame buffer() { return Frame(screen_buffer, screen_buffer + SCREEN_CELLS); }
    static std::string row(int y, int x0 = 0, int x1 = SCREEN_WIDTH) {
        return frame_row_text(buffer(), y, x0, x1);
    }
    // A whole frame, text then attributes, for comparing two frames.
    static std::string picture(const Frame& frame) {
        return frame_text(frame) + frame_attributes(frame);
    }
    static std::uint16_t attr(int x, int y) {
        return screen_buffer[y * SCREEN_WIDTH + x].attribute;
    }
};
