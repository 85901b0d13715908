// The real game on a pseudo-terminal whose other side the test holds, as a terminal
// window would: how it ends on a signal and when the window goes away, the terminal
// modes it runs in and leaves behind, the glyphs it sends, what it refuses to run on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pty_terminal.h"

namespace {

using Clock = std::chrono::steady_clock;

// Generous: the sanitizer build on a busy machine starts slowly.
constexpr double START_SECONDS = 20;

// Environment changes for the game: a name and its value, or no value to unset it.
using Setting = std::pair<std::string, std::optional<std::string>>;

class GameOnTerminal {
  public:
    // Starts the game on a fresh 80x25 terminal in a UTF-8 locale, as xterm would; its
    // standard error goes to a pipe of its own. ignore_hangup starts it as nohup does.
    explicit GameOnTerminal(const std::vector<Setting>& settings = {}, bool ignore_hangup = false) {
        int error_pipe[2];
        if (pipe(error_pipe) != 0) {
            ADD_FAILURE() << "no pipe";
            return;
        }
        pid_ = terminal_.fork_child();
        if (pid_ == 0) {
            dup2(error_pipe[1], STDERR_FILENO);
            close(error_pipe[0]);
            close(error_pipe[1]);
            setenv("LANG", "C.UTF-8", 1);
            unsetenv("LC_ALL");
            unsetenv("ESCDELAY");
            for (const auto& [name, value] : settings) {
                if (value) {
                    setenv(name.c_str(), value->c_str(), 1);
                } else {
                    unsetenv(name.c_str());
                }
            }
            std::signal(SIGHUP, ignore_hangup ? SIG_IGN : SIG_DFL);
            const rlimit no_core{0, 0};  // SIGQUIT would leave a core file behind
            setrlimit(RLIMIT_CORE, &no_core);
            execl(CANOPY_GAME, "canopy-hollow", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(error_pipe[1]);
        errors_ = error_pipe[0];
        if (pid_ < 0) {
            ADD_FAILURE() << "forkpty failed";
        }
    }

    ~GameOnTerminal() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        hang_up();
        if (errors_ >= 0) {
            close(errors_);
        }
    }
    GameOnTerminal(const GameOnTerminal&) = delete;
    GameOnTerminal& operator=(const GameOnTerminal&) = delete;

    // Reads what the game draws until `text` appears after the previous match.
    bool read_until(const std::string& text, double seconds = START_SECONDS) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            const std::size_t found = terminal_.output.find(text, mark_);
            if (found != std::string::npos) {
                mark_ = found + text.size();
                return true;
            }
            if (Clock::now() >= deadline || !terminal_.read_some(50)) {
                if (Clock::now() >= deadline) {
                    return false;
                }
            }
        }
    }

    void signal(int signal_number) const { ASSERT_EQ(kill(pid_, signal_number), 0); }

    void send(const std::string& bytes) const {
        ASSERT_EQ(write(terminal_.master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Closes the terminal, as a window closing or a connection dropping does.
    void hang_up() {
        if (terminal_.master >= 0) {
            close(terminal_.master);
            terminal_.master = -1;
        }
    }

    // Waits up to `seconds` for the game to end, reading what it draws meanwhile; its
    // wait status, or nothing if it is still running.
    std::optional<int> wait_end(double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (!status_) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = status;
                break;
            }
            if (Clock::now() >= deadline) {
                break;
            }
            if (!terminal_.read_some(20)) {
                usleep(20000);
            }
        }
        while (terminal_.read_some(0)) {
        }
        return status_;
    }

    // The terminal's modes, as the game set them or left them.
    termios modes() const {
        termios modes{};
        EXPECT_EQ(tcgetattr(terminal_.master, &modes), 0);
        return modes;
    }

    const std::string& output() const { return terminal_.output; }
    // Where the last match ended: what came after it came later.
    std::string output_since_match() const { return terminal_.output.substr(mark_); }

    // Everything the game wrote on standard error, once it has ended.
    std::string errors() const {
        std::string text;
        char buffer[512];
        for (ssize_t count; (count = read(errors_, buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(count));
        }
        return text;
    }

  private:
    pid_t pid_ = -1;
    TerminalSide terminal_;
    int errors_ = -1;
    std::size_t mark_ = 0;
    std::optional<int> status_;
};

constexpr char INTRO[] = "An Elf must ever live";
constexpr char PRESS_ANY_KEY[] = "[press any key]";
constexpr char PASTE_MARKS_ON[] = "\033[?2004h";
constexpr char PASTE_MARKS_OFF[] = "\033[?2004l";

bool has_flag(tcflag_t flags, tcflag_t flag) {
    return (flags & flag) != 0;
}

TEST(GameOnTerminal, SignalsEndTheGameAsDeathsBySignal) {
    // Ctrl-C and Ctrl-\ typed on the terminal; SIGTERM and SIGHUP sent by another
    // program. The parent must see the death by signal (a shell loop then stops), and
    // the terminal must be as the shell left it.
    const std::pair<int, const char*> signals[] = {
        {SIGINT, "\x03"}, {SIGQUIT, "\x1c"}, {SIGTERM, nullptr}, {SIGHUP, nullptr}};
    for (const auto& [signal_number, typed] : signals) {
        const char* name = strsignal(signal_number);
        GameOnTerminal game;
        ASSERT_TRUE(game.read_until(INTRO)) << name;
        if (typed != nullptr) {
            game.send(typed);
        } else {
            game.signal(signal_number);
        }
        const std::optional<int> status = game.wait_end(5);
        ASSERT_TRUE(status) << name << ": still running";
        EXPECT_TRUE(WIFSIGNALED(*status)) << name << ": exited with " << WEXITSTATUS(*status);
        EXPECT_EQ(WIFSIGNALED(*status) ? WTERMSIG(*status) : 0, signal_number) << name;

        const termios modes = game.modes();
        EXPECT_TRUE(has_flag(modes.c_lflag, ICANON)) << name << ": line mode";
        EXPECT_TRUE(has_flag(modes.c_lflag, ECHO)) << name << ": echo";
        EXPECT_TRUE(has_flag(modes.c_iflag, IXON)) << name << ": flow control";
        EXPECT_NE(game.output_since_match().find(PASTE_MARKS_OFF), std::string::npos)
            << name << ": paste marks left on";
    }
}

TEST(GameOnTerminal, AVanishedTerminalEndsTheGameAsAHangUp) {
    // Started with SIGHUP ignored, the game learns of the hang-up only from the terminal
    // itself; it must still end at once, even in the intro's long pause.
    GameOnTerminal game({}, true);
    ASSERT_TRUE(game.read_until(INTRO));
    game.hang_up();
    const std::optional<int> status = game.wait_end(2);
    ASSERT_TRUE(status) << "still running 2 s after the terminal went away";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGHUP) << "status " << *status;
}

TEST(GameOnTerminal, CtrlSDoesNotStopTheGameAndPastesAreMarked) {
    GameOnTerminal game;
    ASSERT_TRUE(game.read_until(INTRO));
    const termios playing = game.modes();
    EXPECT_FALSE(has_flag(playing.c_iflag, IXON)) << "flow control on while playing";
    EXPECT_TRUE(has_flag(playing.c_lflag, ISIG)) << "Ctrl-C no longer interrupts";
    EXPECT_NE(game.output().find(PASTE_MARKS_ON), std::string::npos) << "paste marks not asked";

    // With flow control on, Ctrl-S would stop the output until Ctrl-Q, and the intro
    // would never finish drawing.
    game.send("\x13");
    EXPECT_TRUE(game.read_until(PRESS_ANY_KEY)) << "the picture stopped after Ctrl-S";

    game.signal(SIGTERM);
    ASSERT_TRUE(game.wait_end(5));
    EXPECT_TRUE(has_flag(game.modes().c_iflag, IXON)) << "flow control not given back";
}

TEST(GameOnTerminal, TerminalTypesThatCannotServeAreNamed) {
    // TERM, then what the one line on standard error must say.
    const std::pair<std::optional<std::string>, std::string> types[] = {
        {std::nullopt, "TERM is not set"},
        {"", "TERM is not set"},
        {"nonesuch-term", "unknown terminal type 'nonesuch-term'"},
        {"dumb", "terminal type 'dumb' (TERM) cannot move the cursor"},
        // Control characters in TERM are not sent to the player's terminal.
        {"\033]0;x\a", "unknown terminal type '?]0;x?'"},
    };
    for (const auto& [type, reason] : types) {
        GameOnTerminal game({{"TERM", type}});
        const std::optional<int> status = game.wait_end(5);
        ASSERT_TRUE(status) << reason;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << reason << ": " << *status;
        const std::string errors = game.errors();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_EQ(errors.rfind("canopy-hollow: ", 0), 0u) << errors;
        EXPECT_NE(errors.find(reason), std::string::npos) << errors;
        EXPECT_EQ(game.output(), "") << reason << ": wrote on the terminal";
    }
}

TEST(GameOnTerminal, GlyphsFollowTheLocale) {
    // The status line's four arrows: Unicode in a UTF-8 locale, ASCII look-alikes under C.
    GameOnTerminal ascii(std::vector<Setting>{{"LC_ALL", "C"}});
    GameOnTerminal unicode(std::vector<Setting>{{"LC_ALL", "C.UTF-8"}});
    for (GameOnTerminal* game : {&ascii, &unicode}) {
        ASSERT_TRUE(game->read_until(PRESS_ANY_KEY));
    }
    for (GameOnTerminal* game : {&ascii, &unicode}) {
        game->send(" ");
        ASSERT_TRUE(game->read_until(PRESS_ANY_KEY));
        game->send(" ");
        ASSERT_TRUE(game->read_until("move cursor"));
    }
    EXPECT_NE(unicode.output().find("\u2191\u2193\u2192\u2190"), std::string::npos);
    EXPECT_NE(ascii.output().find("^v><"), std::string::npos);
    EXPECT_EQ(std::count_if(ascii.output().begin(), ascii.output().end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }),
              0)
        << "bytes beyond ASCII under LC_ALL=C";
}

}  // namespace
