// The game's command line. With no arguments it plays a world seeded from the clock
// and reads or writes no file; the options name a world, write the game down for
// replaying, go on with a recorded game, or answer a question.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct Options {
    enum class Action { play, help, version, usage_error };
    Action action = Action::play;
    std::string error;                  // one line, for usage_error
    std::optional<std::uint32_t> seed;  // the world to play; none: from the clock
    std::optional<std::string> record;  // the file to write the game down in
    bool force = false;                 // the recording may replace an existing file
    std::optional<std::string> resume;  // the recorded game to go on with
};

// Reads argv[1..argc-1]. Never prints and never exits: main acts on the result.
Options parse_options(int argc, const char* const* argv);

// The usage text, for --help on standard output and after an error on standard error.
extern const char GAME_USAGE[];
