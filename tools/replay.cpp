#include "tools/replay.h"

#include "app/game.h"
#include "platform/headless/headless.h"
#include "terminal/keyboard.h"

namespace {

using Kind = RecordedEvent::Kind;

const Recording* playing = nullptr;
std::size_t next_event = 0;

struct ReplayMismatch {
    std::string message;
};

const RecordedEvent* peek() {
    return playing != nullptr && next_event < playing->events.size() ? &playing->events[next_event]
                                                                     : nullptr;
}

const RecordedEvent* take(Kind kind) {
    const RecordedEvent* event = peek();
    if (event == nullptr || event->kind != kind) {
        return nullptr;
    }
    ++next_event;
    return event;
}

const char* word(Kind kind) {
    switch (kind) {
        case Kind::wait:
            return "wait";
        case Kind::start:
            return "start";
        case Kind::frame:
            return "frame";
        case Kind::held:
            return "held";
        case Kind::key:
            break;
    }
    return "key";
}

[[noreturn]] void mismatch(const RecordedEvent& event, const std::string& what) {
    throw ReplayMismatch{"line " + std::to_string(event.line) + ": " + what};
}

// A key press that the keyboard decodes to this code: printable characters as
// themselves, everything else as its virtual-key code.
void push_recorded_key(std::uint32_t code) {
    if (code >= 32 && code <= 126) {
        headless_push_key(static_cast<std::uint8_t>(code), 0);
    } else {
        headless_push_key(0, static_cast<std::uint16_t>(code));
    }
}

// The game is about to wait for a key: hand it the recorded one. With none left the
// queue stays empty and the headless console ends the replay there.
void feed_wait() {
    const RecordedEvent* event = peek();
    if (event == nullptr) {
        return;
    }
    if (event->kind != Kind::wait) {
        mismatch(*event,
                 std::string("the game waits for a key here, not for '") + word(event->kind) + "'");
    }
    ++next_event;
    push_recorded_key(event->value);
    // Nothing sleeps between the title's wait and the tick read as play begins.
    if (const RecordedEvent* start = peek(); start != nullptr && start->kind == Kind::start) {
        headless_set_clock(start->value);
    }
}

void play(const Recording& recording, long frame_limit, ReplayResult& result) {
    start_game(recording.seed);
    const RecordedEvent* start = take(Kind::start);
    if (start == nullptr) {
        return;  // the game ended before play began
    }
    if (frame_time != start->value) {
        mismatch(*start, "the game did not read this tick as play began");
    }
    while (frame_limit < 0 || result.frames < frame_limit) {
        const RecordedEvent* frame = peek();
        if (frame == nullptr) {
            return;
        }
        if (frame->kind != Kind::frame) {
            mismatch(*frame, std::string("the game waits for no key here: '") + word(frame->kind) +
                                 "' does not fit");
        }
        ++next_event;
        headless_set_clock(frame->value);
        if (take(Kind::held) != nullptr) {
            headless_hold_next_sleep();
        }
        if (const RecordedEvent* key = take(Kind::key)) {
            push_recorded_key(key->value);
        }
        ++result.frames;  // before the frame: a quit inside it ends the process
        run_frame();
    }
}

}  // namespace

ReplayResult replay_recording(const Recording& recording, long frame_limit) {
    headless_reset();
    reset_game();
    console_open();
    playing = &recording;
    next_event = 0;
    void (*const outer_hook)() = before_key_wait;
    before_key_wait = feed_wait;
    ReplayResult result;
    try {
        play(recording, frame_limit, result);
    } catch (const HeadlessInputExhausted&) {
        result.waiting = true;
    } catch (const ReplayMismatch& error) {
        result.error = error.message;
    }
    before_key_wait = outer_hook;
    return result;
}

std::size_t replay_unplayed_line() {
    const RecordedEvent* event = peek();
    return event != nullptr ? event->line : 0;
}
