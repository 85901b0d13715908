// The game's command line: what each form asks for, and the one-line errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"

namespace {

// What the words ask the game to do: "play", with " seed N", " record FILE", " force",
// " resume FILE" and " replay FILE" as given; "help"; "version"; or "error: " and the one line.
std::string asked(std::vector<const char*> words) {
    words.insert(words.begin(), "canopy-hollow");
    const Options options = parse_options(static_cast<int>(words.size()), words.data());
    switch (options.action) {
        case Options::Action::help:
            return "help";
        case Options::Action::version:
            return "version";
        case Options::Action::usage_error:
            return "error: " + options.error;
        case Options::Action::play:
            break;
    }
    return "play" + (options.seed ? " seed " + std::to_string(*options.seed) : "") +
           (options.record ? " record " + *options.record : "") + (options.force ? " force" : "") +
           (options.resume ? " resume " + *options.resume : "") +
           (options.replay ? " replay " + *options.replay : "");
}

TEST(Options, EachFormAsksForWhatItSaysAndMistakesAreOneLineErrors) {
    const std::string not_a_world = "error: --seed takes a world number from 0 to 4294967295, not ";
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{}, "play"},  // a world from the clock
        {{"--help"}, "help"},
        {{"-h"}, "help"},
        {{"--version"}, "version"},
        {{"--seed", "4", "--version"}, "version"},  // questions are answered first
        {{"--seed", "0"}, "play seed 0"},
        {{"--seed=4294967295"}, "play seed 4294967295"},
        {{"--seed", "7", "--seed", "8"}, "play seed 8"},
        {{"--record", "game.rec"}, "play record game.rec"},
        {{"--force", "--record=-"}, "play record - force"},
        {{"--record", "a", "--seed", "3", "--record", "b"}, "play seed 3 record b"},
        {{"--record=--odd"}, "play record --odd"},
        {{"--seed", "010"}, "play seed 10"},  // leading zeros are decimal too
        {{"--seed", "4294967296"}, not_a_world + "'4294967296'"},
        {{"--seed", "99999999999999999999"}, not_a_world + "'99999999999999999999'"},
        {{"--seed", "-1"}, not_a_world + "'-1'"},
        {{"--seed", "0x10"}, not_a_world + "'0x10'"},
        {{"--seed", " 1"}, not_a_world + "' 1'"},
        {{"--seed", "1\033]2;x\a"}, not_a_world + "'1?]2;x?'"},  // shown, not obeyed
        {{"--seed="}, not_a_world + "''"},
        {{"--seed"}, "error: --seed needs a world number"},
        {{"--colour"}, "error: unknown option '--colour'"},
        {{"--\033[2J"}, "error: unknown option '--?[2J'"},
        {{"seed"}, "error: unknown option 'seed'"},
        {{"--help=yes"}, "error: unknown option '--help=yes'"},
        {{"--record"}, "error: --record needs a file name"},
        {{"--record="}, "error: --record needs a file name"},
        {{"--force"}, "error: --force goes with --record"},
        {{"--record", "--force"}, "error: --record needs a file name, not the option '--force'"},
        {{"--force=yes", "--record", "f"}, "error: unknown option '--force=yes'"},
        {{"--resume=colony.rec"}, "play resume colony.rec"},
        {{"--resume=a", "--force"}, "error: --resume goes alone: its file holds the game"},
        {{"--replay", "game.rec"}, "play replay game.rec"},
        {{"--replay="}, "error: --replay needs a file name"},
        {{"--replay=a", "--seed=1"}, "error: --replay goes alone: its file holds the game"},
        {{"--force", "--replay=a"}, "error: --replay goes alone: its file holds the game"},
        {{"--resume=a", "--replay=b"}, "error: --replay goes alone: its file holds the game"},
    };
    for (const auto& [words, expected] : cases) {
        EXPECT_EQ(asked(words), expected) << testing::PrintToString(words);
    }
}

}  // namespace
