// Replaying a recorded game on the headless console: the seed, every tick the game
// read, every pause and every key, each handed over exactly where the game asks for it.
#pragma once

#include <string>

#include "app/recording_format.h"

struct ReplayResult {
    long frames = 0;       // frames played
    bool waiting = false;  // the recording ends while the game waits for a key
    std::string error;     // one line when the recording does not fit the game
};

// Plays the recording from a fresh game (the headless console and every global are
// reset first) until it ends or `frame_limit` frames have been played (negative: no
// limit). The screen is then headless_last_frame(). A recording that ends with the
// player quitting ends the process through exit(0), as the game does: callers that
// report on the replay do so from an atexit handler too.
ReplayResult replay_recording(const Recording& recording, long frame_limit);

// After a replay, or inside an exit handler during one: the line of the first event
// the replay did not reach, or 0 when it played them all.
std::size_t replay_unplayed_line();
