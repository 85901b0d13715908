// Scenarios: small games kept as data in tests/scenarios, each checked against the screens
// kept beside it, text and colours, as a terminal capture (`tmux capture-pane -p -e`).
//
//   NAME.keys    a canopy-sim key script whose first line reads
//                "# seed S, frames of M ms, screens at N1 N2 ..."
//   NAME.N.ansi  the screen after N frames: what `canopy-sim --seed S --frame-ms M
//                --frames N --script NAME.keys --verify --expect NAME.N.ansi` checks
//   NAME.rec     a recorded game, and NAME.ansi the screen it replays to
//
// CANOPY_RERECORD=NAME writes NAME's screens anew (make rerecord CASE=NAME).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "tools/capture.h"
#include "tools/key_script.h"
#include "tools/replay.h"

namespace {

const std::string DIR = CANOPY_SCENARIOS_DIR;

// A screen as a terminal capture with colours: each cell's colours where they change.
std::string as_capture(const Frame& frame) {
    const auto sgr = [](int colour, int base) {  // terminals number red 1, consoles blue 1
        const int t = (colour & 0x0A) | (colour & 1) << 2 | (colour >> 2 & 1);
        return std::to_string(base + (t & 7) + (t & 8 ? 60 : 0));
    };
    std::string out;
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0, shown = -1; x < SCREEN_WIDTH; ++x) {
            const int a = frame[static_cast<std::size_t>(y * SCREEN_WIDTH + x)].attribute & 0xFF;
            if (a != std::exchange(shown, a)) {
                out += "\033[" + sgr(a & 15, 30) + ";" + sgr(a >> 4, 40) + "m";
            }
            out += frame_row_text(frame, y, x, x + 1);
        }
        out += "\n";
    }
    return out;
}

// The screen shown last against a kept one, or written anew when re-recording.
void check_screen(const std::string& name, const std::string& path) {
    if (const char* rerecord = std::getenv("CANOPY_RERECORD"); rerecord && name == rerecord) {
        std::ofstream(path, std::ios::binary) << as_capture(headless_last_frame());
    }
    const CaptureReadResult read = read_capture(file_text(path));
    ASSERT_TRUE(read.capture.has_value()) << path << ": " << read.error;
    const std::vector<std::string> differences =
        capture_differences(headless_last_frame(), *read.capture);
    std::string listed;  // the first thirty
    for (std::size_t i = 0; i < differences.size() && i < 30; ++i) {
        listed += differences[i] + "\n";
    }
    EXPECT_EQ(differences.size(), 0u) << path << ":\n"
                                      << listed << "--- the game shows ---\n"
                                      << frame_text(headless_last_frame());
}

KeyScript script;  // the script a question the game waits on takes its next key from

void play_keys(const std::string& name) {
    const std::string text = file_text(DIR + "/" + name + ".keys");
    std::uint32_t seed = 0, frame_ms = 0;
    const std::size_t at = text.find("screens at ");
    ASSERT_TRUE(std::sscanf(text.c_str(), "# seed %u, frames of %u ms", &seed, &frame_ms) == 2 &&
                at < text.find('\n'))
        << name << ": the first line is \"# seed S, frames of M ms, screens at N1 N2 ...\"";
    std::istringstream checkpoints(text.substr(at + 11, text.find('\n') - at - 11));
    const auto check = [&](long frames) {
        check_screen(name, DIR + "/" + name + "." + std::to_string(frames) + ".ansi");
    };
    script = {};
    ASSERT_EQ(add_key_items(text, script), "");
    headless_answer_waits(2);  // the intro and the title
    start_game(seed);
    before_key_wait = [] {
        if (headless_queued_events() == 0) {
            queue_next_key(script);
        }
    };
    const std::uint32_t start = headless_clock();
    long frame = 0, until = 0;
    try {
        for (; checkpoints >> until; check(until)) {
            for (; frame < until; ++frame) {
                headless_set_clock(start + static_cast<std::uint32_t>(frame + 1) * frame_ms);
                queue_frame_keys(script, frame);
                run_frame();
            }
        }
    } catch (const HeadlessInputExhausted&) {
        // The game waits for a key the script does not have: this screen stays.
        for (check(until); checkpoints >> until; check(until)) {
        }
    }
    before_key_wait = nullptr;
}

class Scenario : public FreshGame, public testing::WithParamInterface<std::string> {};

TEST_P(Scenario, ShowsItsScreens) {
    const std::string name = GetParam();
    if (std::filesystem::exists(DIR + "/" + name + ".keys")) {
        play_keys(name);
        return;
    }
    const RecordingReadResult read = read_recording(file_text(DIR + "/" + name + ".rec"));
    ASSERT_TRUE(read.recording.has_value()) << name << ": " << read.error;
    EXPECT_EQ(replay_recording(*read.recording, -1).error, "");
    check_screen(name, DIR + "/" + name + ".ansi");
}

std::vector<std::string> scenarios() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(DIR)) {
        if (const auto kind = entry.path().extension(); kind == ".keys" || kind == ".rec") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::ranges::sort(names);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Scenario, testing::ValuesIn(scenarios()),
                         [](const auto& info) { return info.param; });

}  // namespace
