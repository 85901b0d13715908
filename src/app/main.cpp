// The entry point of canopy-hollow: read the command line, take the console, play
// until the player quits, or show a recorded game.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

#include "app/game.h"
#include "app/options.h"
#include "app/recording.h"
#include "app/recording_format.h"
#include "app/replay.h"
#include "app/version.h"
#include "platform/console.h"
#include "terminal/screen.h"
#include "util/input_file.h"
#include "util/printable.h"

namespace {

std::string resumed_path;

// The resumed game has been played out of sight to its last picture: now it takes the
// terminal, shows that picture and writes on.
void take_console() {
    if (const char* why = console_open()) {
        std::fprintf(stderr, "canopy-hollow: %s\n", why);
        std::exit(1);
    }
    std::atexit(restore_console);
    continue_recording();
    console_write(screen_buffer);
}

// An exit while the recording is replayed is a recording in which the player quit
// before its end: it is no game to go on with.
void refuse_quit_in_replay() {
    if (replaying()) {
        std::fprintf(stderr,
                     "canopy-hollow: cannot resume '%s': line %zu: the player had quit before it\n",
                     resumed_path.c_str(), replay_unplayed_line());
        std::fflush(nullptr);
        std::_Exit(2);
    }
}

int resume(const std::string& path) {
    std::uint32_t seed = 0;
    int status = 0;
    if (const std::string why = open_resumed_recording(path, seed, status); !why.empty()) {
        std::fprintf(stderr, "canopy-hollow: %s\n", why.c_str());
        return status;
    }
    resumed_path = path;
    std::atexit(finish_recording);  // registered first, so it runs after the restore
    std::atexit(refuse_quit_in_replay);
    const std::string why = resume_recording(seed, resumed_events(), take_console);
    end_recording();
    std::fprintf(stderr, "canopy-hollow: cannot resume '%s': %s\n", path.c_str(), why.c_str());
    return 2;
}

std::string watched_path;

[[noreturn]] void refuse_watching(const std::string& why) {
    console_restore();
    std::fprintf(stderr, "canopy-hollow: cannot replay '%s': %s\n", printable(watched_path).c_str(),
                 why.c_str());
    std::fflush(nullptr);
    std::_Exit(2);
}

// The whole file is read and checked before the terminal is touched, so a refusal is an
// ordinary line of text.
[[noreturn]] void watch(const std::string& path) {
    watched_path = path;
    std::string text;
    std::string why = read_input_file(path, RECORDING_FILE, text);
    std::optional<Recording> recording;
    if (why.empty()) {
        RecordingReadResult read = read_recording(text);
        why = read.error;
        recording = std::move(read.recording);
    }
    if (!recording) {
        refuse_watching(why);
    }
    text = std::string();  // the events hold the game now
    if (const char* fault = console_open()) {
        std::fprintf(stderr, "canopy-hollow: %s\n", fault);
        std::exit(1);
    }
    std::atexit(restore_console);
    refuse_watching(watch_recording(*recording, refuse_watching));
}

}  // namespace

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
    if (options.resume) {
        return resume(*options.resume);
    }
    if (options.replay) {
        watch(*options.replay);
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
    recording_takes_place();
    std::atexit(restore_console);
    run_game(seed);
}
