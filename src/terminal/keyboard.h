// Key presses as one integer: a printable character 32..126 as itself, any other key
// as its Windows virtual-key code.
#pragma once

#include <cstdint>

constexpr std::int32_t KEY_TAB = 9;
constexpr std::int32_t KEY_ENTER = 13;
constexpr std::int32_t KEY_ESC = 27;
constexpr std::int32_t KEY_PAGE_UP = 33;
constexpr std::int32_t KEY_PAGE_DOWN = 34;
constexpr std::int32_t KEY_END_KEY = 35;
constexpr std::int32_t KEY_HOME_KEY = 36;
constexpr std::int32_t KEY_LEFT_ARROW = 37;
constexpr std::int32_t KEY_UP_ARROW = 38;
constexpr std::int32_t KEY_RIGHT_ARROW = 39;
constexpr std::int32_t KEY_DOWN_ARROW = 40;

// Blocks until a key press arrives and returns its code.
std::int32_t wait_key();
// Returns the code of the first queued key press, or 0; never waits. Events in front
// of it that are not key presses are discarded; later presses stay queued.
std::int32_t poll_key();
