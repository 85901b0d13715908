// The entry point of canopy-hollow: read the command line, take the console, play
// until the player quits.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/game.h"
#include "app/options.h"
#include "app/recording.h"
#include "app/version.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    const Options options = parse_options(argc, argv);
    switch (options.action) {
        case Options::Action::help:
            std::fputs(GAME_USAGE, stdout);
            return 0;
        case Options::Action::version:
            std::printf("canopy-hollow %s\n", GAME_VERSION);
            return 0;
        case Options::Action::usage_error:
            std::fprintf(stderr, "canopy-hollow: %s\n%s", options.error.c_str(), GAME_USAGE);
            return 2;
        case Options::Action::play:
            break;
    }
    const std::uint32_t seed =
        options.seed ? *options.seed : static_cast<std::uint32_t>(std::time(nullptr));
    if (options.record) {
        // Before the terminal is touched, so a refusal is an ordinary line of text.
        const std::string why = open_recording(*options.record, options.force, seed);
        if (!why.empty()) {
            std::fprintf(stderr, "canopy-hollow: %s\n", why.c_str());
            return 1;
        }
        std::atexit(finish_recording);  // registered first, so it runs after the restore
    }
    if (const char* why = console_open()) {
        discard_recording();
        std::fprintf(stderr, "canopy-hollow: %s\n", why);
        return 1;
    }
    std::atexit(restore_console);
    run_game(seed);
}
