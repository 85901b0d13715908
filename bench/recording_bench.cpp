// What writing a game down costs: whole frames of play on the headless console, with and
// without a recording open, side by side. A recorded frame writes and flushes its line.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/game.h"
#include "app/recording.h"
#include "platform/headless/headless.h"

namespace {

void whole_frame(benchmark::State& state) {
    const bool recording = state.range(0) != 0;
    const std::string path =
        (std::filesystem::temp_directory_path() / "canopy_bench_recording.rec").string();
    headless_reset();
    reset_game();
    console_open();
    headless_answer_waits(2);  // the intro and title screens each wait for a key
    start_game(7);
    if (recording && !open_recording(path, true, 7).empty()) {
        state.SkipWithError("cannot write the recording");
        return;
    }
    for (auto _ : state) {
        headless_set_clock(frame_time + 50);
        run_frame();
    }
    if (recording) {
        end_recording();
        std::remove(path.c_str());
    }
}

}  // namespace

BENCHMARK(whole_frame)->ArgName("recording")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
