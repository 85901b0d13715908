// The cost of one frame of play: the simulation step and the map view's redraw, at each
// of the four levels, on a world started as a player would start it.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "app/game.h"
#include "platform/headless.h"
#include "world/map_view.h"
#include "world/world.h"

namespace {

constexpr std::uint32_t FRAME_MS = 50;
constexpr float FRAME_STEP = FRAME_MS * 0.001f;

void start_world(std::uint32_t seed) {
    headless_reset();
    reset_game();
    console_open();
    headless_answer_waits(2);  // the intro and title screens each wait for a key
    start_game(seed);
}

// One iteration is one frame: the clock moves on 50 ms, so creatures keep acting and the
// blinking marks change phase as in play.
void frame_at_level(benchmark::State& state) {
    start_world(7);
    view_level = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        frame_time += FRAME_MS;
        simulate(FRAME_STEP);
        draw_map_view();
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(frame_at_level)->ArgName("level")->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
