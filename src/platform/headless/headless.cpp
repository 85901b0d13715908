#include "platform/headless/headless.h"

#include <cstdio>
#include <cstdlib>
#include <deque>

#include "platform/cp437.h"
#include "platform/key_names.h"

namespace {

constexpr std::size_t KEPT_FRAMES = 64;

std::deque<InputEvent> queue;
std::uint32_t clock_ms = 0;
bool hold_next_sleep = false;
std::vector<Frame> frames;
Frame last_frame(SCREEN_CELLS, Cell{0, 0});
int write_count = 0;
int waits_to_answer = 0;

}  // namespace

void headless_reset() {
    queue.clear();
    clock_ms = 0;
    hold_next_sleep = false;
    frames.clear();
    last_frame.assign(SCREEN_CELLS, Cell{0, 0});
    write_count = 0;
    waits_to_answer = 0;
}

void headless_push_event(const InputEvent& event) {
    queue.push_back(event);
}

void headless_push_key(std::uint8_t character, std::uint16_t virtual_key) {
    queue.push_back(InputEvent{true, character, virtual_key});
}

void headless_push_char(char c) {
    headless_push_event(*key_press_named(std::string_view(&c, 1)));
}

bool headless_push_named_key(const std::string& name) {
    const std::optional<InputEvent> press = key_press_named(name);
    if (press) {
        headless_push_event(*press);
    }
    return press.has_value();
}

int headless_queued_events() {
    return static_cast<int>(queue.size());
}

std::uint32_t headless_clock() {
    return clock_ms;
}
void headless_set_clock(std::uint32_t milliseconds) {
    clock_ms = milliseconds;
}
void headless_hold_next_sleep() {
    hold_next_sleep = true;
}

const std::vector<Frame>& headless_frames() {
    return frames;
}
const Frame& headless_last_frame() {
    return last_frame;
}
int headless_write_count() {
    return write_count;
}

// Always available: there is no terminal to lack.
const char* console_open() {
    return nullptr;
}

void console_restore() {}

void console_write(const Cell* cells) {
    last_frame.assign(cells, cells + SCREEN_CELLS);
    if (frames.size() == KEPT_FRAMES) {
        frames.erase(frames.begin());
    }
    frames.push_back(last_frame);
    ++write_count;
}

bool console_peek_event(InputEvent* event) {
    if (queue.empty()) {
        return false;
    }
    *event = queue.front();
    return true;
}

void headless_answer_waits(int count) {
    waits_to_answer = count;
}

bool console_read_event(InputEvent* event) {
    if (queue.empty()) {
        if (waits_to_answer <= 0) {
            throw HeadlessInputExhausted{};
        }
        --waits_to_answer;
        *event = InputEvent{true, ' ', 0x20};
        return true;
    }
    *event = queue.front();
    queue.pop_front();
    return true;
}

std::uint32_t console_ticks() {
    return clock_ms;
}

bool console_sleep(std::uint32_t milliseconds) {
    clock_ms += milliseconds;
    const bool held = hold_next_sleep;
    hold_next_sleep = false;
    return held;
}

std::string frame_row_text(const Frame& frame, int y, int x0, int x1) {
    std::string out;
    for (int x = x0; x < x1; ++x) {
        append_utf8(
            out, cp437_to_unicode[frame[static_cast<std::size_t>(y * SCREEN_WIDTH + x)].character &
                                  0xFF]);
    }
    return out;
}

std::string frame_text(const Frame& frame) {
    std::string out;
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        out += frame_row_text(frame, y);
        out += '\n';
    }
    return out;
}

std::string frame_attributes(const Frame& frame) {
    std::string out;
    char hex[4];
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            std::snprintf(hex, sizeof hex, "%02x",
                          frame[static_cast<std::size_t>(y * SCREEN_WIDTH + x)].attribute & 0xFF);
            out += hex;
        }
        out += '\n';
    }
    return out;
}
