// What writing a game down costs, and what going on with one costs.
//   whole_frame/recording:N  whole frames of play on the headless console, with and
//                            without a recording open (a recorded frame writes its line);
//   fresh_start              a new game up to its first frame: the world, the intro and
//                            the title (a key for each, at once);
//   resume/frames:N          a recorded game of N frames (72000: an hour of play) read
//                            from its file and played out of sight to its last picture,
//                            where the game would take the terminal.
// peak_rss_MB is the process's peak resident memory so far: run fresh_start and a resume
// alone (--benchmark_filter) to compare what each needs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/game.h"
#include "app/recording.h"
#include "app/recording_format.h"
#include "app/replay.h"
#include "platform/headless/headless.h"

namespace {

std::string temp_path(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void report_peak_memory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void whole_frame(benchmark::State& state) {
    const bool recording = state.range(0) != 0;
    const std::string path = temp_path("canopy_bench_recording.rec");
    headless_reset();
    reset_game();
    console_open();
    headless_answer_waits(2);  // the intro and title screens each wait for a key
    start_game(7);
    if (recording && !open_recording(path, true, 7).empty()) {
        state.SkipWithError("cannot write the recording");
        return;
    }
    recording_takes_place();
    for (auto _ : state) {
        headless_set_clock(frame_time + 50);
        run_frame();
    }
    if (recording) {
        end_recording();
        std::remove(path.c_str());
    }
}

void fresh_start(benchmark::State& state) {
    for (auto _ : state) {
        headless_reset();
        reset_game();
        console_open();
        headless_answer_waits(2);
        start_game(7);
    }
    report_peak_memory(state);
}

// A game of 50 ms frames in which the player moves the cursor, changes level and looks
// at the elves every two seconds, written line by line as the game writes it.
void write_game(const std::string& path, long frames) {
    constexpr std::uint32_t KEYS[] = {9, 39, 40, 37, 38, 'e', 27};
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fputs(recording_header(7).c_str(), out);
    std::fputs("wait 32\nwait 32\nstart 1000\n", out);
    for (long frame = 1; frame <= frames; ++frame) {
        std::fprintf(out, "frame %ld\n", 1000 + frame * 50);
        if (frame % 40 == 0) {
            std::fprintf(out, "key %u\n", KEYS[(frame / 40) % std::size(KEYS)]);
        }
    }
    std::fclose(out);
}

struct TookConsole {};
void stop_at_the_console() {
    throw TookConsole{};
}

void resume(benchmark::State& state) {
    const std::string path = temp_path("canopy_bench_resume.rec");
    write_game(path, state.range(0));
    for (auto _ : state) {
        std::uint32_t seed = 0;
        int status = 0;
        if (const std::string why = open_resumed_recording(path, seed, status); !why.empty()) {
            state.SkipWithError(why.c_str());
            break;
        }
        try {
            const std::string why = resume_recording(seed, resumed_events(), stop_at_the_console);
            state.SkipWithError(why.c_str());
            break;
        } catch (const TookConsole&) {
        }
        end_recording();
    }
    end_recording();
    std::remove(path.c_str());
    report_peak_memory(state);
}

}  // namespace

BENCHMARK(whole_frame)->ArgName("recording")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(fresh_start)->Unit(benchmark::kMillisecond);
BENCHMARK(resume)->ArgName("frames")->Arg(72000)->Arg(720000)->Unit(benchmark::kMillisecond);
