// Replaying a recorded game: the recording stands in for the console, handing the game
// every tick, pause and key exactly where the game reads it. canopy-sim plays a recording
// to its last picture; the game plays one out of sight and then goes on with the player,
// or shows one to a person at the pace it was played.
#pragma once

#include <string>

#include "app/recording_format.h"

// Where a replay takes its events from, in order.
class RecordedEvents {
  public:
    virtual ~RecordedEvents() = default;
    // The next event; false at the end. Throws ReplayError when the text is damaged.
    virtual bool next(RecordedEvent& event) = 0;
};
struct ReplayError {
    std::string message;  // "line N: why"
};

struct ReplayResult {
    long frames = 0;       // frames played
    bool waiting = false;  // the recording ends while the game waits for a key
    std::string error;     // one line when the recording does not fit the game
};

// Plays the recording from a fresh game (every global is reset first) until it ends or
// `frame_limit` frames have been played (negative: no limit). The console's last
// picture is then the recording's. A recording that ends with the player quitting ends
// the process through exit(0), as the game does: callers that report on the replay do
// so from an atexit handler too.
ReplayResult replay_recording(const Recording& recording, long frame_limit);

// Plays the recorded game out of sight, then goes on with the player for ever: once the
// recording has nothing more to say, `take_console` is called once to open the console
// and show the picture reached, and a new sitting begins (written down when the game
// is recorded). A last sitting ended by the player's "y" to the quit question goes on
// as if the answer had been "n". Returns only when the recording does not fit the
// game, with the reason.
std::string resume_recording(std::uint32_t seed, RecordedEvents& events, void (*take_console)());

// Shows the recorded game on the console, which the caller has opened: every frame for
// as long as the player saw it and the intro's pauses as the game makes them, none longer
// than 2 s, and the keys the game waited for given at once. A key after any pause stops the
// showing; at the recording's end its last picture stays until a key, and so it does where the
// player quit (from an exit handler, which runs before those registered earlier). Either
// way the process ends with status 0. Returns only when the recording does not fit the
// game, with the reason ("line N: why"); a recording that goes on after the player quit
// is handed to `refuse` from the exit handler, which ends the process without others.
std::string watch_recording(const Recording& recording, void (*refuse)(const std::string& why));

// During a replay, or inside an exit handler during one: the line of the first event
// the replay did not reach, or 0 when it played them all.
std::size_t replay_unplayed_line();
// True while a recording is being replayed.
bool replaying();
