// The curses console on a pseudo-terminal whose other side the test holds, as a terminal
// window would: what reaches the terminal when a frame changes nothing, when one cell
// changes, and after the terminal was resized or the game stopped and continued, when
// whatever happened meanwhile may have drawn over the picture; and the frame's wait,
// which a key pressed meanwhile does not cut short.
//
// The console runs in a child process, started from a small stand-in for a shell so
// that it can be stopped by Ctrl-Z as in a real session; the test hands it frames
// through a pipe and reads every byte it sends to the terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

constexpr char READY = 'r';
constexpr char SHOWN = 'k';
constexpr char STOPPED = 's';
constexpr char WAITED = 'w';
constexpr char FRAME = 'f';
constexpr char WAIT = 'p';
constexpr char END = 'q';

bool read_fully(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t count = read(fd, bytes, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

void reply(int fd, char what) {
    while (write(fd, &what, 1) < 0 && errno == EINTR) {
    }
}

// The game's side: opens the console, then shows each frame it is handed. Between
// frames it gives the console its chance to act on signals, as the game's frame loop
// does, and holds while the terminal is too small.
[[noreturn]] void serve(int commands, int replies) {
    if (console_open() != nullptr) {
        _exit(3);
    }
    const pid_t self = getpid();
    reply(replies, READY);
    while (write(replies, &self, sizeof self) < 0 && errno == EINTR) {
    }
    std::vector<Cell> frame(SCREEN_CELLS);
    for (;;) {
        console_sleep(0);
        pollfd command{commands, POLLIN, 0};
        if (poll(&command, 1, 10) <= 0) {
            continue;
        }
        char what = 0;
        if (!read_fully(commands, &what, 1) || what == END) {
            console_restore();
            _exit(0);
        }
        if (what == WAIT) {
            // Waits as a frame does, then says how long it took and what key came.
            std::uint32_t ms = 0;
            if (!read_fully(commands, &ms, sizeof ms)) {
                _exit(4);
            }
            const std::uint32_t start = console_ticks();
            console_sleep(ms);
            const std::uint32_t waited = console_ticks() - start;
            InputEvent key{};
            const char typed = console_peek_event(&key) ? static_cast<char>(key.character) : '\0';
            reply(replies, WAITED);
            while (write(replies, &waited, sizeof waited) < 0 && errno == EINTR) {
            }
            reply(replies, typed);
            continue;
        }
        if (!read_fully(commands, frame.data(), frame.size() * sizeof(Cell))) {
            _exit(4);
        }
        console_write(frame.data());
        reply(replies, SHOWN);
    }
}

// The shell's side: puts the game in a process group of its own in the foreground, so
// that Ctrl-Z stops it, and says when it has stopped.
[[noreturn]] void run_as_shell(int commands, int replies) {
    const pid_t game = fork();
    if (game == 0) {
        setpgid(0, 0);
        std::signal(SIGTTOU, SIG_IGN);
        tcsetpgrp(STDIN_FILENO, getpgrp());
        std::signal(SIGTTOU, SIG_DFL);
        serve(commands, replies);
    }
    for (;;) {
        int status = 0;
        if (waitpid(game, &status, WUNTRACED) < 0) {
            if (errno == EINTR) {
                continue;
            }
            _exit(5);
        }
        if (WIFSTOPPED(status)) {
            reply(replies, STOPPED);
        } else {
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        }
    }
}

// What a terminal would show of some output: escape sequences and control characters
// removed, printed characters kept (UTF-8 bytes as they are).
std::string shown_text(const std::string& output) {
    std::string text;
    for (std::size_t i = 0; i < output.size();) {
        const auto c = static_cast<unsigned char>(output[i]);
        if (c != 0x1B) {
            if (c >= 0x20 && c != 0x7F) {
                text += output[i];
            }
            ++i;
            continue;
        }
        ++i;
        if (i >= output.size()) {
            break;
        }
        const char kind = output[i++];
        if (kind == '[') {  // parameters and intermediates, then a final byte
            while (i < output.size() && (output[i] < 0x40 || output[i] > 0x7E)) {
                ++i;
            }
            ++i;
        } else if (std::strchr("]PX^_", kind) != nullptr) {  // a string, to BEL or ST
            while (i < output.size() && output[i] != '\a' &&
                   !(output[i] == 0x1B && i + 1 < output.size() && output[i + 1] == '\\')) {
                ++i;
            }
            i += i < output.size() && output[i] == '\a' ? 1 : 2;
        } else {  // intermediates, then a final byte: ESC ( B, ESC 7, ESC =
            for (char next = kind; next >= 0x20 && next <= 0x2F && i < output.size();) {
                next = output[i++];
            }
        }
    }
    return text;
}

class ConsoleOnTerminal {
  public:
    ConsoleOnTerminal() {
        int commands[2];
        int replies[2];
        if (pipe(commands) != 0 || pipe(replies) != 0) {
            ADD_FAILURE() << "no pipes";
            return;
        }
        shell_ = terminal_.fork_child();
        if (shell_ == 0) {
            close(commands[1]);
            close(replies[0]);
            setenv("LC_ALL", "C.UTF-8", 1);
            run_as_shell(commands[0], replies[1]);
        }
        close(commands[0]);
        close(replies[1]);
        commands_ = commands[1];
        replies_ = replies[0];
        if (shell_ < 0) {
            ADD_FAILURE() << "forkpty failed";
            return;
        }
        if (await(READY)) {
            read_fully(replies_, &game_, sizeof game_);
        }
    }

    ~ConsoleOnTerminal() {
        if (game_ > 0) {
            kill(game_, SIGKILL);
        }
        if (shell_ > 0) {
            kill(shell_, SIGKILL);
            waitpid(shell_, nullptr, 0);
        }
        for (const int fd : {terminal_.master, commands_, replies_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    ConsoleOnTerminal(const ConsoleOnTerminal&) = delete;
    ConsoleOnTerminal& operator=(const ConsoleOnTerminal&) = delete;

    bool started() const { return game_ > 0; }

    // Hands the console one frame and returns everything it sent to the terminal.
    std::string show(const std::vector<Cell>& frame) {
        const char what = FRAME;
        EXPECT_EQ(write(commands_, &what, 1), 1);
        const std::size_t size = frame.size() * sizeof(Cell);
        EXPECT_EQ(write(commands_, frame.data(), size), static_cast<ssize_t>(size));
        EXPECT_TRUE(await(SHOWN)) << "the frame was not shown";
        return settle();
    }

    // Has the console wait `ms` as a frame does, with `key` typed `key_after_ms` into the
    // wait; returns how long the wait took and the key the console then holds.
    std::pair<std::uint32_t, char> wait(std::uint32_t ms, std::uint32_t key_after_ms, char key) {
        const char what = WAIT;
        EXPECT_EQ(write(commands_, &what, 1), 1);
        EXPECT_EQ(write(commands_, &ms, sizeof ms), static_cast<ssize_t>(sizeof ms));
        usleep(key_after_ms * 1000);
        type(std::string(1, key));
        std::uint32_t waited = 0;
        char held = '\0';
        EXPECT_TRUE(await(WAITED) && read_fully(replies_, &waited, sizeof waited) &&
                    read_fully(replies_, &held, 1))
            << "no answer to the wait";
        return {waited, held};
    }

    // Everything the console sends until it has been quiet for a while.
    std::string settle() {
        while (terminal_.read_some(QUIET_MS)) {
        }
        std::string sent = terminal_.output.substr(mark_);
        mark_ = terminal_.output.size();
        return sent;
    }

    // Types bytes on the terminal's keyboard.
    void type(const std::string& bytes) const {
        EXPECT_EQ(write(terminal_.master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    // The terminal window takes a new size, and the game is told so.
    void resize(int columns, int rows) const {
        winsize size{};
        size.ws_row = static_cast<unsigned short>(rows);
        size.ws_col = static_cast<unsigned short>(columns);
        EXPECT_EQ(ioctl(terminal_.master, TIOCSWINSZ, &size), 0);
    }

    void signal(int signal_number) const { EXPECT_EQ(kill(game_, signal_number), 0); }

    // Waits for a reply from the game or its shell, taking what the terminal receives
    // meanwhile.
    bool await(char expected) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(REPLY_SECONDS);
        while (Clock::now() < deadline) {
            pollfd both[2] = {{terminal_.master, POLLIN, 0}, {replies_, POLLIN, 0}};
            if (poll(both, 2, 100) <= 0) {
                continue;
            }
            if ((both[0].revents & POLLIN) != 0) {
                terminal_.read_some(0);
            }
            if ((both[1].revents & (POLLIN | POLLHUP)) != 0) {
                char got = 0;
                if (read(replies_, &got, 1) != 1) {
                    return false;  // the game has gone
                }
                if (got == expected) {
                    return true;
                }
            }
        }
        return false;
    }

  private:
    pid_t shell_ = -1;
    pid_t game_ = -1;
    TerminalSide terminal_;
    int commands_ = -1;
    int replies_ = -1;
    std::size_t mark_ = 0;
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
    std::size_t count = 0;
    for (const char c : text) {
        count += c >= 'a' && c <= 'z' ? 1 : 0;
    }
    return count;
}

TEST(Presenting, AFrameThatChangesNothingSendsNothing) {
    ConsoleOnTerminal terminal;
    ASSERT_TRUE(terminal.started());
    const std::vector<Cell> frame = letters();
    EXPECT_EQ(count_letters(shown_text(terminal.show(frame))), std::size_t{SCREEN_CELLS})
        << "the first picture is not whole";
    for (int again = 1; again <= 3; ++again) {
        EXPECT_EQ(terminal.show(frame), "") << "showing the same picture again, time " << again;
    }
}

TEST(Presenting, OneChangedCellSendsThatCellAlone) {
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
    terminal.show(frame);
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
        {"larger window", [](ConsoleOnTerminal& t) { t.resize(100, 30); }, false},
        {"too small a window, then large enough",
         [](ConsoleOnTerminal& t) {
             t.resize(60, 20);
             t.settle();
             t.resize(80, 25);
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
