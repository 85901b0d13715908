// The game's command line. With no arguments it plays a world seeded from the clock, so
// each game is new, and reads or writes no file; the options name a world, write the
// game down for replaying, go on with a recorded game, show one, or answer a question.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct Options {
    enum class Action { play, help, version, usage_error };
    Action action = Action::play;
    std::string error;                  // one line, for usage_error
    std::optional<std::uint32_t> seed;  // the world to play; none: from the clock
    std::optional<std::string> record;  // the file to write the game down in
    bool force = false;                 // the recording may replace an existing file
    std::optional<std::string> resume;  // the recorded game to go on with
    std::optional<std::string> replay;  // the recorded game to show
};

// Reads argv[1..argc-1]. Never prints and never exits: main acts on the result.
Options parse_options(int argc, const char* const* argv);

// The usage text, for --help on standard output and after an error on standard error.
extern const char GAME_USAGE[];

// An option that takes a number. canopy-hollow and canopy-sim read theirs through the one
// parser below, so the same words give the same number, or the same refusal, in both.
struct NumberOption {
    const char* name;       // "--seed"
    const char* what;       // "a world number", for messages
    std::uint64_t maximum;  // the range is 0 to this
};
constexpr NumberOption SEED_OPTION = {"--seed", "a world number", UINT32_MAX};

// Decimal digits only, leading zeros too ("010" is ten): no sign, no spaces, no other
// base, nothing above the option's maximum. Anything else gives none, and `error` one
// line saying what the option takes and what it was given.
std::optional<std::uint64_t> parse_number_option(const NumberOption& option, std::string_view text,
                                                 std::string& error);
