// The cost of one frame of play: the simulation step and the map view's redraw, at each
// of the four levels, on a world started as a player would start it.
//   frame_at_level/level:N      the view stands still, as in most frames of a game;
//   scrolling_at_level/level:N  the view moves six columns every frame, as it does when
//                               the cursor leaves the window's inner area.
// With CANOPY_BENCH_FRAMES=N in the environment every benchmark plays exactly N frames
// once, so that an instruction count of one_frame (callgrind --toggle-collect) can be
// divided by N.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <utility>

#include "app/game.h"
#include "platform/headless/headless.h"
#include "terminal/screen.h"
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

// The clock moves on 50 ms, so creatures keep acting and the blinking marks change
// phase as in play.
[[gnu::noinline]] void one_frame() {
    frame_time += FRAME_MS;
    simulate(FRAME_STEP);
    draw_map_view();
}

void count_frames(benchmark::State& state) {
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void frame_at_level(benchmark::State& state) {
    start_world(7);
    view_level = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        one_frame();
    }
    count_frames(state);
}

// Eight frames east, eight frames back west, the cursor keeping its place on the screen.
void scrolling_at_level(benchmark::State& state) {
    start_world(7);
    view_level = static_cast<std::int32_t>(state.range(0));
    std::int32_t frame = 0;
    for (auto _ : state) {
        const std::int32_t step = (frame++ & 8) == 0 ? 6 : -6;
        cursor_x += step;
        view_x += step;
        one_frame();
    }
    count_frames(state);
}

}  // namespace

int main(int argc, char** argv) {
    using Run = void (*)(benchmark::State&);
    constexpr std::pair<const char*, Run> BENCHMARKS[] = {
        {"frame_at_level", frame_at_level}, {"scrolling_at_level", scrolling_at_level}};
    const char* fixed_frames = std::getenv("CANOPY_BENCH_FRAMES");
    for (const auto& [name, run] : BENCHMARKS) {
        auto* b = benchmark::RegisterBenchmark(name, run);
        b->ArgName("level")->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
        if (fixed_frames != nullptr) {
            b->Iterations(std::strtoll(fixed_frames, nullptr, 10));
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
