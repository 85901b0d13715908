// The curses console on a pseudo-terminal whose other side the test holds, as a terminal
// window would: what reaches the terminal when a frame changes nothing, when one cell
// changes, and after the terminal was resized or the game stopped and continued, when
// whatever happened meanwhile may have drawn over the picture; and the frame's wait,
// which a key pressed meanwhile does not cut short.
//
// The console runs in a child process, started from a small stand-in for a shell so
// that it can be stopped by Ctrl-Z as in a real session; the test hands it frames
// through a pipe and reads every byte it sends to the terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "platform/console.h"
#include "pty_terminal.h"

namespace {

using Clock = std::chrono::steady_clock;

// Generous: the sanitizer build on a busy machine is slow.
constexpr double REPLY_SECONDS = 20;
// What the terminal receives in one go comes within this much of the last byte.
constexpr int QUIET_MS = 200;

// The test's commands to the game, and the game's and its shell's replies.
constexpr char FRAME = 'f', WAIT = 'p', END = 'q';
constexpr char READY = 'r', SHOWN = 'k', STOPPED = 's', WAITED = 'w';  // 's' from the shell

bool get(int fd, void* data, std::size_t size) {
    for (auto* bytes = static_cast<char*>(data); size > 0;) {
        const ssize_t count = read(fd, bytes, size);
        if (count <= 0 && !(count < 0 && errno == EINTR)) {
            return false;
        }
        bytes += std::max<ssize_t>(count, 0);
        size -= static_cast<std::size_t>(std::max<ssize_t>(count, 0));
    }
    return true;
}

template <typename T>
void put(int fd, const T& value) {
    while (write(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

// The game's side: opens the console, then shows each frame it is handed. Between
// frames it gives the console its chance to act on signals, as the game's frame loop
// does, and holds while the terminal is too small.
[[noreturn]] void serve(int commands, int replies) {
    if (console_open() != nullptr) {
        _exit(3);
    }
    put(replies, READY);
    put(replies, getpid());
    std::vector<Cell> frame(SCREEN_CELLS);
    for (char what = 0;;) {
        console_sleep(0);
        pollfd command{commands, POLLIN, 0};
        if (poll(&command, 1, 10) <= 0) {
            continue;
        }
        if (!get(commands, &what, 1) || what == END) {
            console_restore();
            _exit(0);
        }
        if (what == WAIT) {
            // Waits as a frame does, then says how long it took and what key came.
            std::uint32_t ms = 0;
            get(commands, &ms, sizeof ms);
            const std::uint32_t start = console_ticks();
            console_sleep(ms);
            const std::uint32_t waited = console_ticks() - start;
            InputEvent key{};
            put(replies, WAITED);
            put(replies, waited);
            put(replies, console_peek_event(&key) ? static_cast<char>(key.character) : '\0');
        } else if (get(commands, frame.data(), frame.size() * sizeof(Cell))) {
            console_write(frame.data());
            put(replies, SHOWN);
        }
    }
}

// What a terminal would show of some output: escape sequences (control sequences,
// strings to BEL or ST, escapes with intermediates) and control characters removed.
std::string shown_text(const std::string& output) {
    static const std::regex escapes(
        "\x1b(\\[[0-?]*[ -/]*[@-~]|[\\]PX^_][^\x07\x1b]*(\x07|\x1b\\\\)|[ "
        "-/]*[0-~])|[\x01-\x1f\x7f]");
    return std::regex_replace(output, escapes, "");
}

class ConsoleOnTerminal : public TerminalSide {
  public:
    ConsoleOnTerminal() {
        int commands[2];
        int replies[2];
        if (pipe(commands) != 0 || pipe(replies) != 0) {
            ADD_FAILURE() << "no pipes";
            return;
        }
        shell_ = fork_child();
        if (shell_ == 0) {
            close(commands[1]);
            close(replies[0]);
            setenv("LC_ALL", "C.UTF-8", 1);
            run_as_shell(Job::foreground, replies[1], [&] { serve(commands[0], replies[1]); });
        }
        close(commands[0]);
        close(replies[1]);
        commands_ = commands[1];
        replies_ = replies[0];
        if (shell_ < 0 || !await(READY) || !get(replies_, &game_, sizeof game_)) {
            ADD_FAILURE() << "the console did not start";
        }
    }

    ~ConsoleOnTerminal() {
        kill(game_, SIGKILL);
        kill(shell_, SIGKILL);
        waitpid(shell_, nullptr, 0);
        close(commands_);
        close(replies_);
    }
    ConsoleOnTerminal(const ConsoleOnTerminal&) = delete;
    ConsoleOnTerminal& operator=(const ConsoleOnTerminal&) = delete;

    bool started() const { return game_ > 0; }

    // Hands the console one frame and returns everything it sent to the terminal.
    std::string show(const std::vector<Cell>& frame) {
        put(commands_, FRAME);
        const std::size_t size = frame.size() * sizeof(Cell);
        EXPECT_EQ(write(commands_, frame.data(), size), static_cast<ssize_t>(size));
        EXPECT_TRUE(await(SHOWN)) << "the frame was not shown";
        return settle();
    }

    // Has the console wait `ms` as a frame does, with `key` typed `key_after_ms` into the
    // wait; returns how long the wait took and the key the console then holds.
    std::pair<std::uint32_t, char> wait(std::uint32_t ms, std::uint32_t key_after_ms, char key) {
        put(commands_, WAIT);
        put(commands_, ms);
        usleep(key_after_ms * 1000);
        type(std::string(1, key));
        std::pair<std::uint32_t, char> answer{0, '\0'};
        EXPECT_TRUE(await(WAITED) && get(replies_, &answer.first, sizeof answer.first) &&
                    get(replies_, &answer.second, 1))
            << "no answer to the wait";
        return answer;
    }

    // Everything the console sends until it has been quiet for a while.
    std::string settle() { return TerminalSide::settle(QUIET_MS); }

    // Types bytes on the terminal's keyboard.
    void type(const std::string& bytes) const { EXPECT_TRUE(send(bytes)); }

    void signal(int signal_number) const { EXPECT_EQ(kill(game_, signal_number), 0); }

    // Waits for a reply from the game or its shell, taking what the terminal receives
    // meanwhile.
    bool await(char expected) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(REPLY_SECONDS);
        while (Clock::now() < deadline) {
            pollfd both[2] = {{master(), POLLIN, 0}, {replies_, POLLIN, 0}};
            if (poll(both, 2, 100) <= 0) {
                continue;
            }
            if ((both[0].revents & POLLIN) != 0) {
                read_some(0);
            }
            char got = 0;
            if ((both[1].revents & (POLLIN | POLLHUP)) != 0 && read(replies_, &got, 1) != 1) {
                return false;  // the game has gone
            }
            if (got == expected) {
                return true;
            }
        }
        return false;
    }

  private:
    pid_t shell_ = -1;
    pid_t game_ = -1;
    int commands_ = -1;
    int replies_ = -1;
};

// A picture in which every cell can be told from its neighbours and every row from the
// others: letters a to z, no two alike side by side, in colours that change along the row.
std::vector<Cell> letters() {
    std::vector<Cell> frame(SCREEN_CELLS);
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const auto letter = static_cast<std::uint16_t>('a' + (x + 7 * y) % 26);
            const auto colour = static_cast<std::uint16_t>(x / 8 % 2 == 0 ? 0x07 : 0x1E);
            frame[y * SCREEN_WIDTH + x] = {letter, colour};
        }
    }
    return frame;
}

std::size_t count_letters(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; }));
}

TEST(Presenting, OnlyWhatChangedIsSent) {
    // A letter in new colours mid-screen, a glyph beyond ASCII in the first corner, light
    // grey on black in the last one, where writing must not scroll the picture.
    struct Change {
        int x, y;
        Cell cell;
        const char* shown;
    };
    const Change changes[] = {
        {40, 12, {'#', 0x4E}, "#"},
        {0, 0, {0x02, 0x0F}, "\u263B"},
        {79, 24, {0xB1, 0x07}, "\u2592"},
    };
    ConsoleOnTerminal terminal;
    ASSERT_TRUE(terminal.started());
    std::vector<Cell> frame = letters();
    EXPECT_EQ(count_letters(shown_text(terminal.show(frame))), std::size_t{SCREEN_CELLS})
        << "the first picture is not whole";
    EXPECT_EQ(terminal.show(frame), "") << "the same picture sent again";
    for (const Change& change : changes) {
        frame[change.y * SCREEN_WIDTH + change.x] = change.cell;
        const std::string sent = terminal.show(frame);
        EXPECT_EQ(shown_text(sent), change.shown) << "cell " << change.x << "," << change.y;
        // A cursor move, colours, the glyph and the return to normal attributes (in the
        // last corner, line wrapping off and on around it).
        EXPECT_LE(sent.size(), 48u)
            << "cell " << change.x << "," << change.y << ": " << testing::PrintToString(sent);
    }
}

TEST(Presenting, EverythingIsRepaintedWhenTheTerminalMayHaveChanged) {
    // What happens to the terminal, and whether the game sees it before the next frame
    // (the enlarge request holds it until the terminal is large enough again).
    struct Event {
        const char* name;
        void (*happen)(ConsoleOnTerminal&);
        bool repaints_by_itself;
    };
    const Event events[] = {
        {"larger window", [](ConsoleOnTerminal& t) { EXPECT_TRUE(t.resize(100, 30)); }, false},
        {"too small a window, then large enough",
         [](ConsoleOnTerminal& t) {
             EXPECT_TRUE(t.resize(60, 20));
             t.settle();
             EXPECT_TRUE(t.resize(80, 25));
         },
         true},
        {"Ctrl-Z, then fg",
         [](ConsoleOnTerminal& t) {
             t.type("\x1a");
             EXPECT_TRUE(t.await(STOPPED)) << "Ctrl-Z did not stop the game";
             t.signal(SIGCONT);
         },
         true},
        {"stopped and continued from outside",
         [](ConsoleOnTerminal& t) {
             t.signal(SIGSTOP);
             EXPECT_TRUE(t.await(STOPPED)) << "SIGSTOP did not stop the game";
             t.signal(SIGCONT);
         },
         false},
    };
    for (const Event& event : events) {
        ConsoleOnTerminal terminal;
        ASSERT_TRUE(terminal.started()) << event.name;
        const std::vector<Cell> frame = letters();
        terminal.show(frame);
        event.happen(terminal);
        const std::string repaint =
            event.repaints_by_itself ? terminal.settle() : terminal.show(frame);
        EXPECT_EQ(count_letters(shown_text(repaint)), std::size_t{SCREEN_CELLS}) << event.name;
        EXPECT_EQ(terminal.show(frame), "") << event.name << ": the picture was not taken as shown";
    }
}

TEST(Waiting, AKeyDoesNotCutTheFrameShortAndWaitsForTheGame) {
    ConsoleOnTerminal terminal;
    ASSERT_TRUE(terminal.started());
    const auto [waited, held] = terminal.wait(300, 100, 'x');
    EXPECT_GE(waited, 300u) << "the wait ended when the key came";
    EXPECT_EQ(held, 'x') << "the key typed during the wait was not kept";
}

}  // namespace
