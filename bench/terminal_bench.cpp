// The game in a real terminal, measured: the curses console on a pseudo-terminal this
// program opens itself, the real frame loop at 50 ms a frame on world 1, and scripted
// keys typed on the terminal's other side, where a reader counts every byte the game
// sends. It reports:
//   - bytes written per frame (median, 99th percentile, maximum, mean) idle at each of
//     the four levels, while the cursor scrolls the view, and while a woodworker goes
//     to build, against the floor: the bytes needed to send only the cells that changed
//     (model below), and the bytes of a full repaint (every tenth frame is one);
//   - the game's CPU time per frame (median, 99th percentile), whole and without its
//     50 ms wait for keys, and the console's alone on the same pictures shown again;
//   - the real canopy-hollow started on a pseudo-terminal: time from start until the
//     intro's first words arrive, and its peak resident memory after a little play;
//   - with --baseline, the real game against another build of it (say, an older
//     revision), each left idle at the ground in turn: the CPU time the whole process
//     spends per frame, as the kernel counts it.
// Usage: canopy-terminal-bench [--frames N] [--term NAME] [--game PATH] [--baseline PATH]
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "app/game.h"
#include "platform/console.h"
#include "platform/cp437.h"
#include "platform/curses/curses_console.h"
#include "platform/curses/curses_style.h"

// Last, as in the console itself: the terminal database's header defines capability
// names as macros.
#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <term.h>
#undef columns
#undef lines

#ifndef CANOPY_GAME
#define CANOPY_GAME "canopy-hollow"
#endif

namespace {

const char USAGE[] =
    "usage: canopy-terminal-bench [--frames N] [--term NAME] [--game PATH] [--baseline PATH]\n"
    "  --frames N   frames idle at each level (default 200; the other phases scale)\n"
    "  --term NAME  terminal type to play on (default xterm-256color)\n"
    "  --game PATH  the canopy-hollow to time at start (default: the one built beside)\n"
    "  --baseline PATH  another canopy-hollow to compare the game's CPU with, idle\n";

constexpr std::uint32_t SEED = 1;
// The comparison with another build: rounds, each build idle this long in each.
constexpr int BASELINE_ROUNDS = 5;
constexpr double BASELINE_IDLE_SECONDS = 6;
constexpr char PROMPT[] = "[press any key]";
constexpr char INTRO[] = "An Elf must ever live";

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double thread_cpu_us() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// Thread CPU time spent inside the game thread's waits. Putting a thread to sleep and
// waking it can cost more than the frame's own work on a virtual machine, so the report
// gives the frame with and without it.
thread_local bool game_thread = false;
double wait_cpu_us = 0;

}  // namespace

// Every poll of this program, the console's among them, passes through here.
extern "C" int poll(pollfd* descriptors, nfds_t count, int timeout_ms) {
    using Poll = int (*)(pollfd*, nfds_t, int);
    static const auto next = reinterpret_cast<Poll>(dlsym(RTLD_NEXT, "poll"));
    if (!game_thread || timeout_ms == 0) {
        return next(descriptors, count, timeout_ms);
    }
    const double before = thread_cpu_us();
    const int result = next(descriptors, count, timeout_ms);
    wait_cpu_us += thread_cpu_us() - before;
    return result;
}

namespace {

// ---------------------------------------------------------------------------------------
// The terminal's other side: counts what the game sends and answers "[press any key]".

struct Master {
    int fd = -1;
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<int> prompts_to_answer{0};
    std::atomic<bool> stop{false};
};

void drain(Master* master) {
    std::vector<char> buffer(1 << 16);
    std::string tail;  // the end of what came before, for a prompt split between reads
    for (;;) {
        pollfd terminal{master->fd, POLLIN, 0};
        if (poll(&terminal, 1, 20) <= 0) {
            if (master->stop) {
                return;
            }
            continue;
        }
        const ssize_t count = read(master->fd, buffer.data(), buffer.size());
        if (count <= 0) {
            if (count < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        master->bytes += static_cast<std::uint64_t>(count);
        std::string window = tail;
        window.append(buffer.data(), static_cast<std::size_t>(count));
        for (std::size_t at = window.find(PROMPT); at != std::string::npos;
             at = window.find(PROMPT, at + 1)) {
            if (master->prompts_to_answer > 0) {
                --master->prompts_to_answer;
                [[maybe_unused]] const ssize_t written = write(master->fd, " ", 1);
            }
        }
        const std::size_t keep = sizeof PROMPT - 2;
        tail = window.size() > keep ? window.substr(window.size() - keep) : window;
    }
}

// Waits until the reader has taken everything written so far: nothing new for a while.
void settle(const Master& master) {
    std::uint64_t seen = master.bytes;
    for (int quiet = 0; quiet < 3;) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        const std::uint64_t now = master.bytes;
        quiet = now == seen ? quiet + 1 : 0;
        seen = now;
    }
}

// ---------------------------------------------------------------------------------------
// The floor: the bytes needed to send only the cells that changed from one frame to the
// next. For each run of changed cells in a row, one cursor address (the terminal's cup);
// for the first cell of a frame and each cell whose attribute differs from that of the
// cell sent before it, the terminal's colour sequence for it (setaf and setab; with 8
// colours, bold too for a bright foreground; without colour, sgr0 and bold); for each
// cell, its glyph's UTF-8 bytes. Nothing for ending a frame.

class Floor {
  public:
    Floor() {
        colours_ = std::max(tigetnum("colors"), 0);
        for (int colour = 0; colour < 16; ++colour) {
            const int shown =
                colours_ >= 16 ? curses_colour_of(colour) : curses_colour_of(colour) & 7;
            foreground_[colour] = length_of("setaf", shown);
            background_[colour] = length_of("setab", shown);
        }
        bold_ = length_of("bold", -1);
        normal_ = length_of("sgr0", -1);
        for (int code = 0; code < 256; ++code) {
            std::string bytes;
            append_utf8(bytes, cp437_to_unicode[code]);
            glyph_[code] = bytes.size();
        }
    }

    std::size_t bytes(const Cell* before, const Cell* now) const {
        std::size_t total = 0;
        int attribute = -1;  // unknown: the first cell sets both colours
        for (int y = 0; y < SCREEN_HEIGHT; ++y) {
            bool in_run = false;
            for (int x = 0; x < SCREEN_WIDTH; ++x) {
                const Cell& cell = now[y * SCREEN_WIDTH + x];
                const Cell& old = before[y * SCREEN_WIDTH + x];
                if (cell.character == old.character && cell.attribute == old.attribute) {
                    in_run = false;
                    continue;
                }
                if (!in_run) {
                    total += address(y, x);
                    in_run = true;
                }
                total += colour_change(attribute, cell.attribute & 0xFF);
                attribute = cell.attribute & 0xFF;
                total += glyph_[cell.character & 0xFF];
            }
        }
        return total;
    }

  private:
    static std::size_t length_of(const char* capability, int parameter) {
        const char* format = tigetstr(capability);
        if (format == nullptr || format == reinterpret_cast<const char*>(-1)) {
            return 0;
        }
        return parameter < 0 ? std::strlen(format) : std::strlen(tiparm(format, parameter));
    }

    static std::size_t address(int y, int x) {
        const char* format = tigetstr("cup");
        return std::strlen(tiparm(format, y, x));
    }

    std::size_t colour_change(int before, int now) const {
        if (before == now) {
            return 0;
        }
        if (colours_ == 0) {
            return normal_ + bold_;
        }
        const bool bold = colours_ < 16 && (now & 8) != 0;
        return foreground_[now & 15] + background_[now >> 4] + (bold ? bold_ : 0);
    }

    int colours_ = 0;
    std::size_t foreground_[16] = {};
    std::size_t background_[16] = {};
    std::size_t bold_ = 0;
    std::size_t normal_ = 0;
    std::size_t glyph_[256] = {};
};

// ---------------------------------------------------------------------------------------
// The script: what each frame is for and the key typed just before it.

enum Phase { ORDERS, BUSY, IDLE_0, IDLE_1, IDLE_2, IDLE_3, SCROLLING, CHANGE, PHASES };
const char* const PHASE_NAMES[PHASES] = {
    "orders",         "busy (woodworker)", "idle, ground", "idle, 50 feet",
    "idle, 100 feet", "idle, 150 feet",    "scrolling",    "level change",
};
constexpr Phase REPORTED[] = {IDLE_0, IDLE_1, IDLE_2, IDLE_3, SCROLLING, BUSY};

struct Step {
    Phase phase;
    std::string key;
};

std::string key_bytes(const std::string& name) {
    const std::pair<const char*, const char*> named[] = {
        {"Up", "kcuu1"},    {"Down", "kcud1"}, {"Left", "kcub1"},
        {"Right", "kcuf1"}, {"Home", "khome"},
    };
    for (const auto& [key, capability] : named) {
        if (name == key) {
            const char* sequence = tigetstr(capability);
            return sequence != nullptr && sequence != reinterpret_cast<const char*>(-1) ? sequence
                                                                                        : "";
        }
    }
    if (name == "Tab") {
        return "\t";
    }
    if (name == "Enter") {
        return "\r";
    }
    if (name == "Esc") {
        return "\x1b";
    }
    return name;
}

// One woodworker and five sleeping platforms at 100 feet ordered in the first frames
// (the end-to-end game's keys, a frame each); then the woodworker fetches lumber, climbs
// and begins building, with the five orders blinking. Then no keys at each level, and
// the cursor walking right across the view's edge and back.
std::vector<Step> script(int idle_frames) {
    const char* const orders[] = {
        "",     "",     "",      "",     "",      "",      "",      "",     "",     "",
        "e",    "a",    "Esc",   "j",    "s",     "w",     "Esc",   "Esc",  "",     "",
        "c",    "s",    "b",     "Tab",  "Tab",   "Home",  "Home",  "Home", "Home", "Home",
        "Home", "Up",   "Up",    "Up",   "Enter", "Right", "Enter", "Down", "Down", "Enter",
        "Left", "Left", "Enter", "Left", "Enter", "Esc",   "Esc",   "Esc",
    };
    // A key is read during its frame's wait and shows in the frame after.
    std::vector<Step> steps;
    for (const char* key : orders) {
        steps.push_back({ORDERS, key_bytes(key)});
    }
    steps.push_back({ORDERS, ""});
    for (int i = 0; i < idle_frames * 12 / 5; ++i) {
        steps.push_back({BUSY, ""});
    }
    // At 100 feet now: on to the ground, then up through the levels.
    steps.push_back({CHANGE, "\t"});
    steps.push_back({CHANGE, "\t"});
    for (const Phase level : {IDLE_0, IDLE_1, IDLE_2, IDLE_3}) {
        if (level != IDLE_0) {
            steps.push_back({CHANGE, "\t"});
        }
        steps.push_back({CHANGE, ""});
        for (int i = 0; i < idle_frames; ++i) {
            steps.push_back({level, ""});
        }
    }
    steps.push_back({CHANGE, "\t"});
    steps.push_back({CHANGE, ""});
    const int walk = std::max(idle_frames * 9 / 20, 60);  // past the view's right edge
    for (const char* key : {"Right", "Left"}) {
        for (int i = 0; i < walk; ++i) {
            steps.push_back({SCROLLING, key_bytes(key)});
        }
    }
    return steps;
}

// ---------------------------------------------------------------------------------------
// Figures.

struct Samples {
    std::vector<double> bytes;  // sent to the terminal
    std::vector<double> floor;
    std::vector<double> cpu_us;   // the whole frame
    std::vector<double> work_us;  // the frame without its waits
    std::vector<double> wait_us;  // its waits
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

double mean(const std::vector<double>& values) {
    double total = 0;
    for (const double value : values) {
        total += value;
    }
    return values.empty() ? 0 : total / static_cast<double>(values.size());
}

double total(const std::vector<double>& values) {
    return mean(values) * static_cast<double>(values.size());
}

// ---------------------------------------------------------------------------------------
// The real program: start to intro, and peak memory.

struct Launch {
    double intro_ms = -1;
    long peak_kb = -1;
    double idle_us_per_frame = -1;  // CPU of the whole process, idle at the ground
};

// The CPU time the kernel has given a process so far, in microseconds, or -1.
double process_cpu_us(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/schedstat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        return -1;
    }
    unsigned long long ns = 0;
    const bool read = std::fscanf(file, "%llu", &ns) == 1;
    std::fclose(file);
    return read ? static_cast<double>(ns) / 1000 : -1;
}

bool read_until(int fd, std::string& seen, const char* text, double seconds) {
    const auto start = Clock::now();
    char buffer[4096];
    while (seen.find(text) == std::string::npos) {
        const double left = seconds - seconds_since(start);
        if (left <= 0) {
            return false;
        }
        pollfd terminal{fd, POLLIN, 0};
        if (poll(&terminal, 1, static_cast<int>(left * 1000) + 1) <= 0) {
            continue;
        }
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return false;
        }
        seen.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

// Starts the game on a fresh 80x25 terminal; with play_seconds, gets past the intro and
// title and plays that long, changing level and moving the cursor, before ending it;
// with idle_seconds instead, leaves it that long at the ground without a key.
Launch launch(const char* game, const char* term, double play_seconds, double idle_seconds = 0) {
    Launch result;
    winsize size{};
    size.ws_row = SCREEN_HEIGHT;
    size.ws_col = SCREEN_WIDTH;
    int master = -1;
    const auto start = Clock::now();
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid < 0) {
        return result;
    }
    if (pid == 0) {
        setenv("TERM", term, 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        execl(game, "canopy-hollow", "--seed", "1", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string seen;
    if (read_until(master, seen, INTRO, 10)) {
        result.intro_ms = seconds_since(start) * 1000;
    }
    if ((play_seconds > 0 || idle_seconds > 0) && read_until(master, seen, PROMPT, 10)) {
        [[maybe_unused]] ssize_t written = write(master, " ", 1);
        seen.clear();
        if (read_until(master, seen, PROMPT, 10)) {
            written = write(master, " ", 1);
            if (idle_seconds > 0) {
                read_until(master, seen, "\x01never\x01", 1);  // the game screen settles
                const double cpu_before = process_cpu_us(pid);
                read_until(master, seen, "\x01never\x01", idle_seconds);
                const double cpu_after = process_cpu_us(pid);
                if (cpu_before >= 0 && cpu_after >= 0) {
                    result.idle_us_per_frame = (cpu_after - cpu_before) / (idle_seconds * 20);
                }
            }
            const char* const keys[] = {"\t", "\x1b[C", "\x1b[B", "\t", "\x1b[D", "\t", "\t"};
            const auto playing = Clock::now();
            for (int i = 0; seconds_since(playing) < play_seconds; ++i) {
                written = write(master, keys[i % 7], std::strlen(keys[i % 7]));
                read_until(master, seen, "\x01never\x01", 0.25);  // reads for 250 ms
            }
        }
    }
    kill(pid, SIGTERM);
    std::string rest;
    read_until(master, rest, "\x01never\x01", 0.5);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) == pid) {
        result.peak_kb = usage.ru_maxrss;
    }
    close(master);
    return result;
}

// ---------------------------------------------------------------------------------------
// The steps of a run.

struct Options {
    int idle_frames = 200;
    const char* term = "xterm-256color";
    const char* game = CANOPY_GAME;
    const char* baseline = nullptr;
};

int parse_count(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 20 || value > 100000) {
        std::fprintf(stderr, "canopy-terminal-bench: bad frame count %s\n%s", text, USAGE);
        std::exit(2);
    }
    return static_cast<int>(value);
}

Options parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(USAGE, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "canopy-terminal-bench: %s needs a value\n%s", argv[i], USAGE);
            std::exit(2);
        }
        if (option == "--frames") {
            options.idle_frames = parse_count(argv[++i]);
        } else if (option == "--term") {
            options.term = argv[++i];
        } else if (option == "--game") {
            options.game = argv[++i];
        } else if (option == "--baseline") {
            options.baseline = argv[++i];
        } else {
            std::fprintf(stderr, "canopy-terminal-bench: unknown option %s\n%s", argv[i], USAGE);
            std::exit(2);
        }
    }
    return options;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "canopy-terminal-bench: %s\n", what);
    std::exit(1);
}

// The real program, started afresh: ten starts to the intro, peak memory after a little
// play, and with a baseline, the idle CPU of both builds, in turn, so that a machine
// that slows down slows both.
struct ProgramFigures {
    std::vector<double> intro_ms;
    long peak_kb = -1;
    std::vector<double> idle_us[2];  // this game, the baseline
};

ProgramFigures measure_program(const Options& options) {
    ProgramFigures figures;
    for (int run = 0; run < 10; ++run) {
        const Launch started = launch(options.game, options.term, 0);
        if (started.intro_ms < 0) {
            fail("the game showed no intro");
        }
        figures.intro_ms.push_back(started.intro_ms);
    }
    figures.peak_kb = launch(options.game, options.term, 3).peak_kb;
    for (int round = 0; options.baseline != nullptr && round < BASELINE_ROUNDS; ++round) {
        std::fprintf(stderr, "idle round %d of %d...\n", round + 1, BASELINE_ROUNDS);
        for (int side = 0; side < 2; ++side) {
            const char* game = side == 0 ? options.game : options.baseline;
            const Launch idle = launch(game, options.term, 0, BASELINE_IDLE_SECONDS);
            if (idle.idle_us_per_frame < 0) {
                fail("no CPU time for a build left idle");
            }
            figures.idle_us[side].push_back(idle.idle_us_per_frame);
        }
    }
    return figures;
}

// Makes a pseudo-terminal this process's standard input and output; the report goes
// where standard output went. Returns the terminal's other side.
int take_pseudo_terminal(const char* term, FILE** report) {
    std::fflush(stdout);
    *report = fdopen(dup(STDOUT_FILENO), "w");
    winsize size{};
    size.ws_row = SCREEN_HEIGHT;
    size.ws_col = SCREEN_WIDTH;
    int master_fd = -1;
    int slave_fd = -1;
    if (*report == nullptr || openpty(&master_fd, &slave_fd, nullptr, nullptr, &size) != 0) {
        fail("no pseudo-terminal");
    }
    dup2(slave_fd, STDIN_FILENO);
    dup2(slave_fd, STDOUT_FILENO);
    close(slave_fd);
    setenv("TERM", term, 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    unsetenv("ESCDELAY");
    return master_fd;
}

// The script played by the real frame loop, keys typed just before their frames. Every
// tenth frame is a full repaint, counted apart.
struct Played {
    Samples samples[PHASES];
    std::vector<double> repaint[PHASES];
    std::vector<Cell> film;  // every picture shown, in order, to be shown again
};

Played play_script(Master& master, const std::vector<Step>& steps) {
    Played played;
    const Floor floor;
    reset_game();
    master.prompts_to_answer = 2;
    start_game(SEED);
    std::vector<Cell> before(curses_last_frame(), curses_last_frame() + SCREEN_CELLS);
    played.film.reserve(steps.size() * SCREEN_CELLS);
    for (std::size_t frame = 0; frame < steps.size(); ++frame) {
        const Step& step = steps[frame];
        const bool repainted = frame % 10 == 9;
        if (repainted) {
            curses_repaint_next_frame();
        }
        if (!step.key.empty()) {
            [[maybe_unused]] const ssize_t written =
                write(master.fd, step.key.data(), step.key.size());
        }
        const std::uint64_t bytes_before = master.bytes;
        const double waited_before = wait_cpu_us;
        const double cpu_before = thread_cpu_us();
        run_frame();
        const double cpu = thread_cpu_us() - cpu_before;
        const double waited = wait_cpu_us - waited_before;
        // The frame's picture went out before its 50 ms wait: the reader has it all.
        const auto bytes = static_cast<double>(master.bytes - bytes_before);
        const Cell* now = curses_last_frame();
        const auto least = static_cast<double>(floor.bytes(before.data(), now));
        before.assign(now, now + SCREEN_CELLS);
        played.film.insert(played.film.end(), now, now + SCREEN_CELLS);
        if (repainted) {
            played.repaint[step.phase].push_back(bytes);
            continue;
        }
        Samples& samples = played.samples[step.phase];
        samples.bytes.push_back(bytes);
        samples.floor.push_back(least);
        samples.cpu_us.push_back(cpu);
        samples.work_us.push_back(cpu - waited);
        samples.wait_us.push_back(waited);
    }
    return played;
}

// The same pictures handed to the console again, without the game, a few milliseconds
// apart: the console's own CPU per frame, and the bytes of one full repaint.
struct ShownAgain {
    std::vector<double> console_us[PHASES];
    double repaint_bytes = 0;
};

ShownAgain show_again(Master& master, const std::vector<Step>& steps,
                      const std::vector<Cell>& film) {
    ShownAgain shown;
    console_restore();
    if (const char* why = console_open()) {
        fail(why);
    }
    for (std::size_t frame = 0; frame < steps.size(); ++frame) {
        const double cpu_before = thread_cpu_us();
        console_write(&film[frame * SCREEN_CELLS]);
        const double cpu = thread_cpu_us() - cpu_before;
        settle(master);
        if (frame > 0) {  // the first is drawn whole
            shown.console_us[steps[frame].phase].push_back(cpu);
        }
    }
    const std::uint64_t bytes_before = master.bytes;
    curses_repaint_next_frame();
    console_write(&film[(steps.size() - 1) * SCREEN_CELLS]);
    settle(master);
    shown.repaint_bytes = static_cast<double>(master.bytes - bytes_before);
    return shown;
}

// "median / 99th percentile" of a set, with `decimals` places.
std::string spread(const std::vector<double>& values, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f / %.*f", decimals, percentile(values, 0.5), decimals,
                  percentile(values, 0.99));
    return text;
}

void report_bytes(FILE* report, const Played& played, const ShownAgain& shown) {
    std::fprintf(report, "Bytes per frame: median / 99th percentile / maximum, mean\n");
    std::fprintf(report, "%-18s %6s  %-22s %-22s %8s %8s\n", "phase", "frames", "sent", "floor",
                 "repaint", "sent/floor");
    for (const Phase phase : REPORTED) {
        const Samples& samples = played.samples[phase];
        std::string cells[2];
        for (int i = 0; i < 2; ++i) {
            const std::vector<double>& set = i == 0 ? samples.bytes : samples.floor;
            cells[i] = spread(set, 0) + " / " + std::to_string(std::lround(percentile(set, 1)));
            char average[16];
            std::snprintf(average, sizeof average, ", %.1f", mean(set));
            cells[i] += average;
        }
        const double floor_total = total(samples.floor);
        std::fprintf(report, "%-18s %6zu  %-22s %-22s %8.0f %8.2f\n", PHASE_NAMES[phase],
                     samples.bytes.size() + played.repaint[phase].size(), cells[0].c_str(),
                     cells[1].c_str(), percentile(played.repaint[phase], 0.5),
                     floor_total > 0 ? total(samples.bytes) / floor_total : 0.0);
    }
    std::fprintf(report,
                 "(repaint: median, in play; sent/floor: of the totals; a full repaint of the "
                 "last picture alone: %.0f bytes)\n\n",
                 shown.repaint_bytes);
}

void report_cpu(FILE* report, const Played& played, const ShownAgain& shown) {
    std::fprintf(report, "CPU per frame, microseconds: median / 99th percentile\n");
    std::fprintf(report, "%-18s %-16s %-18s %-16s\n", "phase", "whole frame", "without the wait",
                 "the console alone");
    std::vector<double> waits;
    for (const Phase phase : REPORTED) {
        const Samples& samples = played.samples[phase];
        std::fprintf(report, "%-18s %-16s %-18s %-16s\n", PHASE_NAMES[phase],
                     spread(samples.cpu_us, 1).c_str(), spread(samples.work_us, 1).c_str(),
                     spread(shown.console_us[phase], 1).c_str());
        waits.insert(waits.end(), samples.wait_us.begin(), samples.wait_us.end());
    }
    std::fprintf(report,
                 "(the console alone: the same pictures handed to it again, a few ms apart; "
                 "the wait itself, the thread\nput to sleep for the rest of the 50 ms and woken: "
                 "median %.1f us)\n",
                 percentile(waits, 0.5));
}

void report_program(FILE* report, const Options& options, const ProgramFigures& figures) {
    std::fprintf(report,
                 "\n%s on a pseudo-terminal (TERM=%s):\n"
                 "start to intro on screen: median %.1f ms, maximum %.1f ms (%zu starts)\n"
                 "peak resident memory after 3 s of play: %ld KB\n",
                 options.game, options.term, percentile(figures.intro_ms, 0.5),
                 percentile(figures.intro_ms, 1.0), figures.intro_ms.size(), figures.peak_kb);
    if (options.baseline == nullptr) {
        return;
    }
    const std::vector<double>& ours = figures.idle_us[0];
    const std::vector<double>& theirs = figures.idle_us[1];
    std::fprintf(report,
                 "\nIdle at the ground, CPU of the whole process per frame (%d rounds of "
                 "%.0f s each, in turn), microseconds:\nmedian / minimum / maximum\n"
                 "this game:  %.1f / %.1f / %.1f  (%s)\nbaseline:   %.1f / %.1f / %.1f  (%s)\n"
                 "ratio of the medians: %.2f\n",
                 BASELINE_ROUNDS, BASELINE_IDLE_SECONDS, percentile(ours, 0.5),
                 percentile(ours, 0.0), percentile(ours, 1.0), options.game,
                 percentile(theirs, 0.5), percentile(theirs, 0.0), percentile(theirs, 1.0),
                 options.baseline, percentile(ours, 0.5) / percentile(theirs, 0.5));
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse_options(argc, argv);
    // The real program first, while this one still has its own terminal.
    const ProgramFigures program = measure_program(options);

    // Then the game in this process, on a terminal of its own.
    FILE* report = nullptr;
    Master master;
    master.fd = take_pseudo_terminal(options.term, &report);
    std::thread reader(drain, &master);
    if (const char* why = console_open()) {
        fail(why);
    }
    game_thread = true;
    const std::vector<Step> steps = script(options.idle_frames);
    std::fprintf(stderr, "playing %zu frames of 50 ms on %s...\n", steps.size(), options.term);
    const Played played = play_script(master, steps);
    const ShownAgain shown = show_again(master, steps, played.film);
    console_restore();
    master.stop = true;
    reader.join();

    std::fprintf(report,
                 "Canopy Hollow on a pseudo-terminal: TERM=%s, 80x25, C.UTF-8, world %u, "
                 "50 ms frames.\nOnly the cells that changed are handed to curses; every tenth "
                 "frame is a full repaint instead.\n\n",
                 options.term, SEED);
    report_bytes(report, played, shown);
    report_cpu(report, played, shown);
    report_program(report, options, program);
    std::fclose(report);
    return 0;
}
