// The spine of the game: start-up, the intro and title screens, and the frame loop.
#pragma once

#include <cstdint>

struct Creature;

// The tick count taken at the start of the current frame.
extern std::uint32_t frame_time;

constexpr std::int32_t PLACE_NAME_COUNT = 10;
extern const char* const place_names[PLACE_NAME_COUNT];

// While a recorded game is replayed, the recording stands in for the console: it gives
// the clock, the pauses and the keys, and the pictures are shown or only composed. Null
// while a person plays.
struct Playback {
    std::uint32_t (*ticks)();
    bool (*sleep)(std::uint32_t milliseconds);  // true: the console held the game
    // The key a poll (0: none) or a wait reads; for a wait, -1 hands it to the console.
    std::int32_t (*key)(bool waiting);
    bool show_frames;
};
extern const Playback* playback;

// A new sitting of a game that was stopped and goes on: the time between is no game time,
// so the clock starts again from this tick.
void begin_sitting(std::uint32_t tick);

// Registered with atexit: gives the console back.
void restore_console();

// Seeds the generators, builds the world, shows the intro and title screens (each
// waits for a key), lays out the game screen and logs the arrival.
void start_game(std::uint32_t seed);
// One frame: time, simulation, drawing, flush, sleep, one key.
void run_frame();
// start_game with this seed (the calendar time unless the player named a world), then
// frames for ever.
[[noreturn]] void run_game(std::uint32_t seed);

void simulate(float dt);
void creature_tick(Creature* c, float dt);

// Puts every part of the game back to its state at process start, so one process can
// play several fresh games (tests and tools do).
void reset_game();
