#include "app/replay.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "app/game.h"
#include "app/recording.h"
#include "platform/console.h"
#include "terminal/screen.h"

namespace {

using Kind = RecordedEvent::Kind;

// The recording has no more to say where the game reads next.
struct ReplayEnded {
    bool waiting;
};

class EventList : public RecordedEvents {
  public:
    explicit EventList(const Recording& recording) : recording_(recording) {}
    bool next(RecordedEvent& event) override {
        if (next_ >= recording_.events.size()) {
            return false;
        }
        event = recording_.events[next_++];
        return true;
    }
    const std::vector<RecordedEvent>& events() const { return recording_.events; }
    std::size_t unread() const { return next_; }  // where the next event stands in events()

  private:
    const Recording& recording_;
    std::size_t next_ = 0;
};

struct Replay {
    RecordedEvents* events = nullptr;
    std::optional<RecordedEvent> ahead;  // read but not yet played
    bool source_done = false;
    bool started = false;  // the tick read as play begins has been given
    long frame_limit = -1;
    long frames = 0;
    bool frame_held = false;
    std::int32_t frame_key = 0;
    void (*take_console)() = nullptr;  // null: canopy-sim, which stops at the end
    std::size_t unplayed_line = 0;     // once the events are gone
    std::uint32_t frame_tick = 0;      // the tick of the frame being played
    // While a person watches the recording: its events, and what refuses it, "line N: why"
    // (it ends the process, without exit handlers).
    const EventList* watched = nullptr;
    void (*refuse)(const std::string& why) = nullptr;
};
Replay replay;

const RecordedEvent* peek() {
    if (!replay.ahead && !replay.source_done) {
        RecordedEvent event{};
        if (replay.events->next(event)) {
            replay.ahead = event;
        } else {
            replay.source_done = true;
        }
    }
    return replay.ahead ? &*replay.ahead : nullptr;
}

RecordedEvent take() {
    const RecordedEvent event = *replay.ahead;
    replay.ahead.reset();
    return event;
}

std::string word(Kind kind) {
    return std::string("'") + recording_word(kind) + "'";
}

[[noreturn]] void mismatch(const RecordedEvent& event, const std::string& what) {
    throw ReplayError{"line " + std::to_string(event.line) + ": " + what};
}

// The watcher's keys: one pressed during the showing stops it, and one ends the last
// picture's stay.
bool watcher_pressed_key() {
    InputEvent event{};
    while (console_peek_event(&event)) {
        if (console_read_event(&event) && event.key_down) {
            return true;
        }
    }
    return false;
}

void await_watcher_key() {
    InputEvent event{};
    while (!console_read_event(&event) || !event.key_down) {
    }
}

[[noreturn]] void stop_watching() {
    playback = nullptr;
    std::exit(0);
}

void apply_sittings() {
    while (const RecordedEvent* event = peek()) {
        if (event->kind != Kind::resume) {
            return;
        }
        begin_sitting(take().value);
    }
}

// The recording has run out where the game reads: canopy-sim stops, a watcher sees the
// last picture until a key, the game goes on with the player from here.
void run_out(bool waiting) {
    if (replay.watched != nullptr) {
        await_watcher_key();
        stop_watching();
    }
    if (replay.take_console == nullptr) {
        throw ReplayEnded{waiting};
    }
    playback = nullptr;
    replay.take_console();
    const std::uint32_t tick = console_ticks();
    begin_sitting(tick);
    record_sitting(tick);
}

std::uint32_t recorded_ticks() {
    apply_sittings();
    const RecordedEvent* event = peek();
    if (event == nullptr) {
        run_out(false);
        return console_ticks();
    }
    const Kind expected = replay.started ? Kind::frame : Kind::start;
    if (event->kind != expected) {
        mismatch(*event, "the game waits for no key here: " + word(event->kind) + " does not fit");
    }
    if (expected == Kind::frame && replay.frame_limit >= 0 && replay.frames >= replay.frame_limit) {
        throw ReplayEnded{false};
    }
    replay.started = true;
    const std::uint32_t tick = take().value;
    if (expected == Kind::frame) {
        replay.frame_tick = tick;
        ++replay.frames;
        replay.frame_held = peek() != nullptr && peek()->kind == Kind::held;
        if (replay.frame_held) {
            take();
        }
        replay.frame_key = 0;
        if (peek() != nullptr && peek()->kind == Kind::key) {
            replay.frame_key = static_cast<std::int32_t>(take().value);
        }
    }
    return tick;
}

bool recorded_sleep(std::uint32_t) {
    const bool held = replay.frame_held;
    replay.frame_held = false;
    return held;
}

std::int32_t recorded_key(bool waiting) {
    if (!waiting) {
        const std::int32_t key = replay.frame_key;
        replay.frame_key = 0;
        return key;
    }
    apply_sittings();
    const RecordedEvent* event = peek();
    if (event == nullptr) {
        run_out(true);
        return -1;
    }
    if (event->kind != Kind::wait) {
        mismatch(*event, "the game waits for a key here, not for " + word(event->kind));
    }
    auto key = static_cast<std::int32_t>(take().value);
    // The "y" that ended a sitting did not end the game: it went on as if told "n".
    const RecordedEvent* after = peek();
    const bool sitting_ends =
        after != nullptr ? after->kind == Kind::resume : replay.take_console != nullptr;
    if (key == 'y' && sitting_ends) {
        key = 'n';
    }
    return key;
}

// How long the player saw the frame being played: the recorded time to the next frame,
// unless a new sitting or the end comes first. The intro's pauses come before any tick.
std::uint32_t watched_length(std::uint32_t asked) {
    if (!replay.started) {
        return asked;
    }
    const std::vector<RecordedEvent>& events = replay.watched->events();
    for (std::size_t i = replay.watched->unread() - (replay.ahead ? 1 : 0); i < events.size();
         ++i) {
        if (events[i].kind == Kind::frame) {
            // A clock that went back gives no length; one that wrapped round still does.
            const auto length = static_cast<std::int32_t>(events[i].value - replay.frame_tick);
            return length >= 0 ? static_cast<std::uint32_t>(length) : asked;
        }
        if (events[i].kind == Kind::resume) {
            break;
        }
    }
    return asked;
}

// A long pause in the recording (the player away, a stopped game) keeps the watcher no
// longer than this.
constexpr std::uint32_t LONGEST_WATCHED_PAUSE = 2000;

// The watcher's own pause is not the recorded game's: what the console says of it is
// not the game's business, the recording says whether the game was held.
bool watched_sleep(std::uint32_t milliseconds) {
    console_sleep(std::min(watched_length(milliseconds), LONGEST_WATCHED_PAUSE));
    if (watcher_pressed_key()) {
        stop_watching();
    }
    return recorded_sleep(milliseconds);
}

// The player quit in the recording being watched and the game ends the process there:
// its last picture stays until a key. A recording that goes on after the quit does not
// fit the game.
void hold_after_quit() {
    if (replay.watched == nullptr || playback == nullptr) {
        return;
    }
    if (const std::size_t line = replay_unplayed_line(); line != 0) {
        replay.refuse("line " + std::to_string(line) + ": the player had quit before it");
    }
    playback = nullptr;
    await_watcher_key();
}

constexpr Playback SHOWN = {recorded_ticks, recorded_sleep, recorded_key, true};
constexpr Playback OUT_OF_SIGHT = {recorded_ticks, recorded_sleep, recorded_key, false};
constexpr Playback WATCHED = {recorded_ticks, watched_sleep, recorded_key, true};

void start_replay(RecordedEvents& events, long frame_limit, void (*take_console)()) {
    reset_game();
    replay = Replay{};
    replay.events = &events;
    replay.frame_limit = frame_limit;
    replay.take_console = take_console;
}

}  // namespace

ReplayResult replay_recording(const Recording& recording, long frame_limit) {
    EventList events(recording);
    start_replay(events, frame_limit, nullptr);
    console_open();
    ReplayResult result;
    playback = &SHOWN;
    try {
        run_game(recording.seed);
    } catch (const ReplayEnded& end) {
        result.waiting = end.waiting;
    } catch (const ReplayError& error) {
        result.error = error.message;
    }
    playback = nullptr;
    result.frames = replay.frames;
    replay.unplayed_line = replay_unplayed_line();
    replay.events = nullptr;
    return result;
}

std::string resume_recording(std::uint32_t seed, RecordedEvents& events, void (*take_console)()) {
    start_replay(events, -1, take_console);
    playback = &OUT_OF_SIGHT;
    try {
        run_game(seed);
    } catch (const ReplayError& error) {
        playback = nullptr;
        return error.message;
    }
}

std::string watch_recording(const Recording& recording, void (*refuse)(const std::string& why)) {
    EventList events(recording);  // the game ends the process from inside run_game
    start_replay(events, -1, nullptr);
    replay.watched = &events;
    replay.refuse = refuse;
    std::atexit(hold_after_quit);
    playback = &WATCHED;
    try {
        run_game(recording.seed);
    } catch (const ReplayError& error) {
        playback = nullptr;
        return error.message;
    }
}

std::size_t replay_unplayed_line() {
    if (replay.events == nullptr) {
        return replay.unplayed_line;
    }
    try {
        const RecordedEvent* event = peek();
        return event != nullptr ? event->line : 0;
    } catch (const ReplayError& error) {
        return std::strtoul(error.message.c_str() + 5, nullptr, 10);  // "line N: ..."
    }
}

bool replaying() {
    return playback != nullptr;
}
