// The game's command line: what each form asks for, and the one-line errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"

namespace {

Options parse(std::vector<const char*> words) {
    words.insert(words.begin(), "canopy-hollow");
    return parse_options(static_cast<int>(words.size()), words.data());
}

TEST(Options, NoArgumentsPlaysAWorldFromTheClock) {
    const Options options = parse({});
    EXPECT_EQ(options.action, Options::Action::play);
    EXPECT_FALSE(options.seed.has_value());
}

TEST(Options, HelpAndVersionAnswerBeforeAnythingElse) {
    EXPECT_EQ(parse({"--help"}).action, Options::Action::help);
    EXPECT_EQ(parse({"-h"}).action, Options::Action::help);
    EXPECT_EQ(parse({"--version"}).action, Options::Action::version);
    EXPECT_EQ(parse({"--seed", "4", "--version"}).action, Options::Action::version);
}

TEST(Options, SeedNamesAWorldFromZeroTo2To32Minus1) {
    const struct {
        std::vector<const char*> words;
        std::uint32_t seed;
    } good[] = {{{"--seed", "0"}, 0u},
                {{"--seed", "12345"}, 12345u},
                {{"--seed=4294967295"}, 4294967295u},
                {{"--seed", "7", "--seed", "8"}, 8u}};
    for (const auto& [words, seed] : good) {
        const Options options = parse(words);
        EXPECT_EQ(options.action, Options::Action::play) << words.back();
        EXPECT_EQ(options.seed.value_or(~seed), seed) << words.back();
    }
}

TEST(Options, RecordNamesAFileThatForceMayReplace) {
    const struct {
        std::vector<const char*> words;
        const char* file;
        bool force;
    } good[] = {{{"--record", "game.rec"}, "game.rec", false},
                {{"--force", "--record=-"}, "-", true},
                {{"--record", "a", "--seed", "3", "--record", "b"}, "b", false},
                {{"--record=--odd"}, "--odd", false}};
    for (const auto& [words, file, force] : good) {
        const Options options = parse(words);
        EXPECT_EQ(options.action, Options::Action::play) << file;
        EXPECT_EQ(options.record.value_or(""), file);
        EXPECT_EQ(options.force, force) << file;
    }
    EXPECT_FALSE(parse({"--seed", "3"}).record.has_value());
}

TEST(Options, MistakesAreOneLineErrors) {
    const struct {
        std::vector<const char*> words;
        const char* error;
    } bad[] = {
        {{"--seed", "4294967296"},
         "--seed takes a world number from 0 to 4294967295, not '4294967296'"},
        {{"--seed", "-1"}, "--seed takes a world number from 0 to 4294967295, not '-1'"},
        {{"--seed", "12a"}, "--seed takes a world number from 0 to 4294967295, not '12a'"},
        {{"--seed", " 1"}, "--seed takes a world number from 0 to 4294967295, not ' 1'"},
        {{"--seed="}, "--seed takes a world number from 0 to 4294967295, not ''"},
        {{"--seed"}, "--seed needs a world number"},
        {{"--colour"}, "unknown option '--colour'"},
        {{"seed"}, "unknown option 'seed'"},
        {{"--help=yes"}, "unknown option '--help=yes'"},
        {{"--record"}, "--record needs a file name"},
        {{"--record="}, "--record needs a file name"},
        {{"--force"}, "--force goes with --record"},
        {{"--record", "--force"}, "--record needs a file name, not the option '--force'"},
        {{"--force=yes", "--record", "f"}, "unknown option '--force=yes'"},
    };
    for (const auto& [words, error] : bad) {
        const Options options = parse(words);
        EXPECT_EQ(options.action, Options::Action::usage_error) << error;
        EXPECT_EQ(options.error, error);
    }
}

}  // namespace
