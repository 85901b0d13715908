// The headless console: scripted input, a virtual clock and captured frames. Tests
// and tools link it in place of a terminal backend and steer it through these calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/console.h"

using Frame = std::vector<Cell>;  // SCREEN_CELLS cells, row-major

// Back to a fresh console: empty queue, clock at 0, no frames.
void headless_reset();

// Queues one event, or a key press made of a character byte and a virtual-key code.
void headless_push_event(const InputEvent& event);
void headless_push_key(std::uint8_t character, std::uint16_t virtual_key);
// Queues a printable character as a key press (its own virtual-key code for letters
// and digits, as a keyboard would deliver it).
void headless_push_char(char c);
// Queues a key by name, as key_press_named reads it: a name of the key table in any case
// ("Tab", "pgup", "F12"), or one character typed as itself ("q", "Y", "&"). Returns false
// for an unknown name.
bool headless_push_named_key(const std::string& name);
int headless_queued_events();

// The virtual clock. console_sleep advances it; tests may move it freely.
std::uint32_t headless_clock();
void headless_set_clock(std::uint32_t milliseconds);
// Makes the next console_sleep report that the console held the game.
void headless_hold_next_sleep();

// Frames written since the last reset, oldest first (the most recent 64 are kept),
// and the last one (all zero before the first write).
const std::vector<Frame>& headless_frames();
const Frame& headless_last_frame();
int headless_write_count();

// console_read_event on an empty queue cannot wait for a person. The next `count`
// such waits are answered with a press of the space bar (someone pressing "any key");
// after that it throws HeadlessInputExhausted.
void headless_answer_waits(int count);
struct HeadlessInputExhausted {};

// A frame as 25 lines of UTF-8 text, code page 437 mapped to Unicode.
std::string frame_text(const Frame& frame);
// One row as UTF-8, columns x0 to x1 - 1.
std::string frame_row_text(const Frame& frame, int y, int x0 = 0, int x1 = SCREEN_WIDTH);
// A frame's attributes as 25 lines of two hex digits per cell.
std::string frame_attributes(const Frame& frame);
