// canopy-sim: plays the real game on the headless console, then prints the final
// screen. Either from a seed, a key script and a frame length, or from a recording made
// by canopy-hollow --record: a seed, the keys and the frame times determine a game, so
// this replays any game exactly, and can check the result against a capture of the
// terminal it was played in.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/game.h"
#include "app/options.h"
#include "app/recording_format.h"
#include "app/replay.h"
#include "platform/headless/headless.h"
#include "terminal/keyboard.h"
#include "tools/capture.h"
#include "tools/key_script.h"
#include "util/input_file.h"
#include "util/printable.h"

namespace {

const char USAGE[] =
    "usage: canopy-sim [--seed N] [--frames N] [--frame-ms N] [--keys 'F:KEY ...']\n"
    "                  [--script FILE] [--cells] [--verify --expect CAPTURE]\n"
    "       canopy-sim --replay FILE [--frames N] [--cells] [--verify --expect CAPTURE]\n"
    "  --seed N       world seed, 0 to 4294967295 (default 1)\n"
    "  --frames N     frames to play after the title screen (default 100; with\n"
    "                 --replay, every recorded frame)\n"
    "  --frame-ms N   length of every frame in milliseconds (default 50)\n"
    "  --keys ITEMS   key presses, each FRAME:KEY, pressed just before that frame;\n"
    "                 KEY is a character or a name: Tab Enter Esc Space Backspace Up\n"
    "                 Down Left Right Home End PgUp PgDn Insert Delete F1..F12 Clear\n"
    "                 Shift Ctrl Alt; a question the game waits on takes the next key,\n"
    "                 whatever its frame\n"
    "  --script FILE  the same items read from a file (a word starting with # starts\n"
    "                 a comment)\n"
    "  --replay FILE  play a game recorded by canopy-hollow --record FILE: its seed,\n"
    "                 its keys and its clock\n"
    "  --cells        print each cell as code page 437 code/attribute in hex instead\n"
    "                 of UTF-8 text\n"
    "  --verify       compare the final screen with --expect CAPTURE, the terminal's\n"
    "                 screen as `tmux capture-pane -p` (text) or `-p -e` (with colours)\n"
    "                 saves it, and list the cells that differ\n"
    "exit status: 0 done, 1 the screen differs from the capture, 2 a bad option,\n"
    "recording or capture, 3 the game waited for a key after the script ran out\n";

constexpr std::size_t DIFFERENCES_SHOWN = 40;

// The one number that is canopy-sim's alone: --seed is read as the game reads it, and
// --frames as the key items read their frames.
constexpr NumberOption FRAME_MS_OPTION = {"--frame-ms", "a frame length in milliseconds",
                                          UINT32_MAX};

// One line, whatever went wrong: the option, the file or the line at fault.
[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "canopy-sim: %s\n", message.c_str());
    std::exit(2);
}

[[noreturn]] void input_error(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "canopy-sim: %s: %s\n", printable(path).c_str(), message.c_str());
    std::exit(2);
}

std::uint64_t parse_number(const NumberOption& option, const std::string& text) {
    std::string error;
    const std::optional<std::uint64_t> value = parse_number_option(option, text, error);
    if (!value) {
        usage_error(error);
    }
    return *value;
}

// What canopy-sim reads besides recordings, each with a bound on its size far above any
// real one. A key script is typed by hand or made by a small program: a megabyte holds
// over a hundred thousand keys. A capture is one 80x25 screen, under 100 KB even with a
// colour change on every cell.
constexpr InputKind SCRIPT_FILE = {"key script", std::uintmax_t{1} << 20, "1 MB"};
constexpr InputKind CAPTURE_FILE = {"capture", std::uintmax_t{1} << 20, "1 MB"};

std::string read_file(const std::string& path, const InputKind& kind) {
    std::string text;
    if (const std::string why = read_input_file(path, kind, text); !why.empty()) {
        input_error(path, why);
    }
    return text;
}

// What the exit handler needs to know: it reports on a game that ended the process.
struct Run {
    bool print_as_cells = false;
    std::string capture_path;
    std::optional<Capture> capture;
    std::string replay_path;
    bool playing = false;   // inside the game: an exit now is the player quitting
    bool reported = false;  // the final screen has been printed
};
Run run;
KeyScript script;
bool script_answers_waits = false;

void print_cells(const Frame& frame) {
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const Cell& cell = frame[static_cast<std::size_t>(y * SCREEN_WIDTH + x)];
            std::printf("%s%02x/%02x", x == 0 ? "" : " ", cell.character & 0xFF,
                        cell.attribute & 0xFF);
        }
        std::printf("\n");
    }
}

// Prints the final screen and compares it with the capture; returns the exit status.
int report() {
    run.reported = true;
    const Frame& last = headless_last_frame();
    if (run.print_as_cells) {
        print_cells(last);
    } else {
        std::fputs(frame_text(last).c_str(), stdout);
    }
    std::fflush(stdout);
    if (!run.capture) {
        return 0;
    }
    const std::vector<std::string> differences = capture_differences(last, *run.capture);
    if (differences.empty()) {
        std::fprintf(stderr, "canopy-sim: the final screen matches %s (%d cells%s)\n",
                     printable(run.capture_path).c_str(), SCREEN_CELLS,
                     run.capture->has_colours ? ", with colours" : "");
        return 0;
    }
    for (std::size_t i = 0; i < differences.size() && i < DIFFERENCES_SHOWN; ++i) {
        std::fprintf(stderr, "%s\n", differences[i].c_str());
    }
    if (differences.size() > DIFFERENCES_SHOWN) {
        std::fprintf(stderr, "... and %zu more\n", differences.size() - DIFFERENCES_SHOWN);
    }
    std::fprintf(stderr, "canopy-sim: %zu of %d cells differ from %s\n", differences.size(),
                 SCREEN_CELLS, printable(run.capture_path).c_str());
    return 1;
}

// Runs at every exit; it has work to do only when the game itself ended the process,
// with the player's "y" on the quit question.
void report_at_exit() {
    if (run.reported) {
        return;
    }
    if (run.playing && !run.replay_path.empty()) {
        if (const std::size_t line = replay_unplayed_line(); line != 0) {
            std::fprintf(stderr, "canopy-sim: %s: line %zu: the player had quit before it\n",
                         printable(run.replay_path).c_str(), line);
            std::fflush(nullptr);
            std::_Exit(2);
        }
    }
    if (const int status = report(); status != 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
}

// A question the game waits on takes the script's next key, whatever its frame.
void answer_wait_from_script() {
    if (script_answers_waits && headless_queued_events() == 0) {
        queue_next_key(script);
    }
}

int play_script(std::uint32_t seed, long frames, std::uint32_t frame_ms) {
    headless_reset();
    reset_game();
    console_open();
    headless_answer_waits(2);  // the intro and title screens each wait for a key
    before_key_wait = answer_wait_from_script;
    run.playing = true;
    try {
        start_game(seed);
        script_answers_waits = true;
        const std::uint32_t start = headless_clock();
        for (long frame = 0; frame < frames; ++frame) {
            headless_set_clock(start + static_cast<std::uint32_t>(frame + 1) * frame_ms);
            queue_frame_keys(script, frame);
            run_frame();
        }
    } catch (const HeadlessInputExhausted&) {
        run.playing = false;
        std::fprintf(stderr, "canopy-sim: the game waited for a key after the script ran out\n");
        return 3;
    }
    run.playing = false;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::uint32_t> seed;
    std::optional<long> frames;
    std::optional<std::uint32_t> frame_ms;
    bool scripted = false;
    bool verify = false;
    for (int i = 1; i < argc; ++i) {
        // "--name=value" and "--name value" both give a value, as for canopy-hollow.
        const std::string word = argv[i];
        const std::size_t equals = word.rfind("--", 0) == 0 ? word.find('=') : std::string::npos;
        const std::string arg = word.substr(0, equals);
        auto value = [&](const char* what) -> std::string {
            if (equals != std::string::npos) {
                return word.substr(equals + 1);
            }
            if (i + 1 >= argc) {
                usage_error(arg + " needs " + what);
            }
            return argv[++i];
        };
        if (arg == SEED_OPTION.name) {
            seed = static_cast<std::uint32_t>(parse_number(SEED_OPTION, value(SEED_OPTION.what)));
        } else if (arg == FRAMES_OPTION.name) {
            frames = static_cast<long>(parse_number(FRAMES_OPTION, value(FRAMES_OPTION.what)));
        } else if (arg == FRAME_MS_OPTION.name) {
            frame_ms = static_cast<std::uint32_t>(
                parse_number(FRAME_MS_OPTION, value(FRAME_MS_OPTION.what)));
        } else if (arg == "--keys" || arg == "--script") {
            const bool from_file = arg == "--script";
            const std::string source = value(from_file ? "a file name" : "key items");
            const std::string text = from_file ? read_file(source, SCRIPT_FILE) : source;
            if (const std::string why = add_key_items(text, script); !why.empty()) {
                from_file ? input_error(source, why) : usage_error(why);
            }
            scripted = true;
        } else if (arg == "--replay") {
            run.replay_path = value("a file name");
        } else if (word == "--cells") {
            run.print_as_cells = true;
        } else if (word == "--verify") {
            verify = true;
        } else if (arg == "--expect") {
            run.capture_path = value("a file name");
        } else if (word == "--help" || word == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        } else {
            usage_error("unknown option " + quoted_word(word));
        }
    }
    if (verify != !run.capture_path.empty()) {
        usage_error(verify ? "--verify needs --expect CAPTURE" : "--expect goes with --verify");
    }
    const bool replaying = !run.replay_path.empty();
    if (replaying && (seed || frame_ms || scripted)) {
        usage_error("--replay takes the seed, the keys and the frame times from the recording");
    }
    for (const auto& [frame, names] : script.keys) {
        if (frame >= frames.value_or(100)) {
            usage_error("key at frame " + std::to_string(frame) + " is past the last frame");
        }
    }

    std::optional<Recording> recording;
    if (replaying) {
        RecordingReadResult read = read_recording(read_file(run.replay_path, RECORDING_FILE));
        if (!read.recording) {
            input_error(run.replay_path, read.error);
        }
        recording = std::move(read.recording);
    }
    if (verify) {
        CaptureReadResult read = read_capture(read_file(run.capture_path, CAPTURE_FILE));
        if (!read.capture) {
            input_error(run.capture_path, read.error);
        }
        run.capture = std::move(read.capture);
    }

    std::atexit(report_at_exit);
    int status = 0;
    if (replaying) {
        run.playing = true;
        const ReplayResult result = replay_recording(*recording, frames.value_or(-1));
        run.playing = false;
        if (!result.error.empty()) {
            run.reported = true;
            input_error(run.replay_path, result.error);
        }
    } else {
        status = play_script(seed.value_or(1), frames.value_or(100), frame_ms.value_or(50));
    }
    const int verdict = report();
    return status != 0 ? status : verdict;
}
