// canopy-sim: plays the real game on the headless console from a seed, a key script
// and a frame length, then prints the final screen. A seed, the keys and the frame
// times determine a game, so this replays any game exactly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/game.h"
#include "platform/headless.h"

namespace {

const char USAGE[] =
    "usage: canopy-sim [--seed N] [--frames N] [--frame-ms N] [--keys 'F:KEY ...']\n"
    "                  [--script FILE] [--cells]\n"
    "  --seed N      32-bit world seed (default 1)\n"
    "  --frames N    frames to play after the title screen (default 100)\n"
    "  --frame-ms N  length of every frame in milliseconds (default 50)\n"
    "  --keys ITEMS  key presses, each FRAME:KEY, pressed just before that frame;\n"
    "                KEY is a character or a name: Tab Enter Esc Space Backspace Up\n"
    "                Down Left Right Home End PgUp PgDn Insert Delete F1..F12\n"
    "  --script FILE the same items read from a file (# starts a comment)\n"
    "  --cells       print each cell as code page 437 code/attribute in hex instead\n"
    "                of UTF-8 text\n";

[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "canopy-sim: %s\n%s", message.c_str(), USAGE);
    std::exit(2);
}

std::uint64_t parse_number(const std::string& text, const char* what) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') {
        usage_error(std::string("bad ") + what + ": " + text);
    }
    return value;
}

void add_key_items(std::istream& in, std::map<long, std::vector<std::string>>& keys) {
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string item;
        while (words >> item) {
            const auto colon = item.find(':');
            if (colon == std::string::npos || colon == 0 || colon + 1 == item.size()) {
                usage_error("key items are FRAME:KEY, not " + item);
            }
            const auto frame = static_cast<long>(parse_number(item.substr(0, colon), "frame"));
            keys[frame].push_back(item.substr(colon + 1));
        }
    }
}

bool print_as_cells = false;

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

// Runs at every exit, the player's "y" on the quit page included.
void print_final_screen() {
    const Frame& last = headless_last_frame();
    if (print_as_cells) {
        print_cells(last);
    } else {
        std::fputs(frame_text(last).c_str(), stdout);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t seed = 1;
    long frames = 100;
    std::uint32_t frame_ms = 50;
    std::map<long, std::vector<std::string>> keys;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage_error(arg + " needs a value");
            }
            return argv[++i];
        };
        if (arg == "--seed") {
            seed = static_cast<std::uint32_t>(parse_number(value(), "seed"));
        } else if (arg == "--frames") {
            frames = static_cast<long>(parse_number(value(), "frame count"));
        } else if (arg == "--frame-ms") {
            frame_ms = static_cast<std::uint32_t>(parse_number(value(), "frame length"));
        } else if (arg == "--keys") {
            std::istringstream in(value());
            add_key_items(in, keys);
        } else if (arg == "--script") {
            const std::string path = value();
            std::ifstream in(path);
            if (!in) {
                usage_error("cannot read " + path);
            }
            add_key_items(in, keys);
        } else if (arg == "--cells") {
            print_as_cells = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        } else {
            usage_error("unknown option " + arg);
        }
    }
    headless_reset();
    for (const auto& [frame, names] : keys) {
        if (frame >= frames) {
            usage_error("key at frame " + std::to_string(frame) + " is past the last frame");
        }
        for (const std::string& name : names) {
            if (!headless_push_named_key(name)) {
                usage_error("unknown key " + name);
            }
        }
    }

    headless_reset();
    reset_game();
    console_open();
    std::atexit(print_final_screen);
    headless_answer_waits(2);  // the intro and title screens each wait for a key
    int status = 0;
    try {
        start_game(seed);
        const std::uint32_t start = headless_clock();
        for (long frame = 0; frame < frames; ++frame) {
            headless_set_clock(start + static_cast<std::uint32_t>(frame + 1) * frame_ms);
            if (auto it = keys.find(frame); it != keys.end()) {
                for (const std::string& name : it->second) {
                    headless_push_named_key(name);
                }
            }
            run_frame();
        }
    } catch (const HeadlessInputExhausted&) {
        std::fprintf(stderr, "canopy-sim: the game waited for a key after the script ran out\n");
        status = 3;
    }
    return status;
}
