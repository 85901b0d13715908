// The real game on a pseudo-terminal whose other side the test holds, as a terminal
// window would: how it ends on a signal and when the window goes away, the terminal
// modes it runs in and leaves behind, the size it believes, what it does in the
// background, the glyphs it sends, what it refuses to run on.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "pty_terminal.h"

namespace {

using Clock = std::chrono::steady_clock;

// Generous: the sanitizer build on a busy machine starts slowly.
constexpr double START_SECONDS = 20;

// Environment changes for the game: a name and its value, or no value to unset it.
using Setting = std::pair<std::string, std::optional<std::string>>;

// Where the game runs: as a terminal window's own program (no job), or started by a
// stand-in for a shell.
struct Start {
    std::vector<Setting> settings = {};
    bool ignore_hangup = false;  // as nohup starts it
    std::optional<Job> job = std::nullopt;
    unsigned short columns = 80;
    unsigned short rows = 25;
    std::vector<std::string> options = {};
};

[[noreturn]] void exec_game(int errors, const std::vector<std::string>& options) {
    dup2(errors, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>("canopy-hollow")};
    for (const std::string& option : options) {
        argv.push_back(const_cast<char*>(option.c_str()));
    }
    argv.push_back(nullptr);
    execv(CANOPY_GAME, argv.data());
    _exit(127);
}

class GameOnTerminal : public TerminalSide {
  public:
    // Starts the game in a UTF-8 locale, as xterm would; its standard error goes to a
    // pipe of its own.
    explicit GameOnTerminal(const Start& start = {}) {
        int error_pipe[2];
        if (pipe(error_pipe) != 0) {
            ADD_FAILURE() << "no pipe";
            return;
        }
        pid_ = fork_child(start.columns, start.rows);
        if (pid_ == 0) {
            close(error_pipe[0]);
            setenv("LANG", "C.UTF-8", 1);
            unsetenv("LC_ALL");
            unsetenv("ESCDELAY");
            // The game's own restore is under test, not the sanitizer's report.
            setenv("ASAN_OPTIONS", "handle_segv=0:handle_sigbus=0:handle_sigfpe=0", 1);
            for (const auto& [name, value] : start.settings) {
                value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
            }
            std::signal(SIGHUP, start.ignore_hangup ? SIG_IGN : SIG_DFL);
            const rlimit no_core{0, 0};  // no core files left behind
            setrlimit(RLIMIT_CORE, &no_core);
            if (start.job) {
                run_as_shell(*start.job, -1, [&] { exec_game(error_pipe[1], start.options); });
            }
            exec_game(error_pipe[1], start.options);
        }
        close(error_pipe[1]);
        errors_ = error_pipe[0];
        EXPECT_GT(pid_, 0) << "forkpty failed";
    }

    ~GameOnTerminal() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(errors_);
    }

    // Reads what the game draws until `text` appears after the previous match.
    bool read_until(const std::string& text, double seconds = START_SECONDS) {
        return TerminalSide::read_until(text, seconds);
    }

    // The terminal's own program: the game, or the shell stand-in.
    pid_t pid() const { return pid_; }
    void signal(int signal_number) const { ASSERT_EQ(kill(pid_, signal_number), 0); }

    // Waits up to `seconds` for the terminal's program to end, reading what it draws
    // meanwhile; its wait status, or nothing if it is still running.
    std::optional<int> wait_end(double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        for (int status = 0; !status_ && Clock::now() < deadline; read_some(20)) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = status;
            }
        }
        while (read_some(0)) {
        }
        return status_;
    }

    // Everything the game writes on standard error until it ends, or for 5 s at most.
    std::string errors() const {
        std::string text;
        char buffer[512];
        pollfd pipe{errors_, POLLIN, 0};
        for (ssize_t count;
             poll(&pipe, 1, 5000) > 0 && (count = read(errors_, buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(count));
        }
        return text;
    }

  private:
    pid_t pid_ = -1;
    int errors_ = -1;
    std::optional<int> status_;
};

constexpr char INTRO[] = "An Elf must ever live";
constexpr char PRESS_ANY_KEY[] = "[press any key]";
constexpr char ENLARGE[] = "Please enlarge";
constexpr char PASTE_MARKS_ON[] = "\033[?2004h";
constexpr char PASTE_MARKS_OFF[] = "\033[?2004l";

bool has_flag(tcflag_t flags, tcflag_t flag) {
    return (flags & flag) != 0;
}

// The terminal is as the shell left it: line mode, echo, flow control.
void expect_modes_given_back(const GameOnTerminal& game, const std::string& name) {
    const termios modes = game.modes();
    EXPECT_TRUE(has_flag(modes.c_lflag, ICANON)) << name << ": line mode";
    EXPECT_TRUE(has_flag(modes.c_lflag, ECHO)) << name << ": echo";
    EXPECT_TRUE(has_flag(modes.c_iflag, IXON)) << name << ": flow control";
}

TEST(GameOnTerminal, SignalsThatEndAProcessEndTheGameAsDeathsBySignal) {
    // Typed on the terminal (Ctrl-C, Ctrl-\) or sent by another program: the parent must
    // see the death by that signal (a shell loop then stops), and the terminal must be
    // given back first. SIGSEGV and the like come here from kill, not from a fault.
    const std::pair<int, const char*> signals[] = {
        {SIGINT, "\x03"},    {SIGQUIT, "\x1c"},  {SIGTERM, nullptr}, {SIGHUP, nullptr},
        {SIGUSR1, nullptr},  {SIGUSR2, nullptr}, {SIGALRM, nullptr}, {SIGVTALRM, nullptr},
        {SIGPROF, nullptr},  {SIGXCPU, nullptr}, {SIGIO, nullptr},   {SIGSEGV, nullptr},
        {SIGBUS, nullptr},   {SIGABRT, nullptr}, {SIGTRAP, nullptr}, {SIGSYS, nullptr},
        {SIGRTMIN, nullptr},
    };
    for (const auto& [signal_number, typed] : signals) {
        const std::string name = strsignal(signal_number);
        GameOnTerminal game;
        ASSERT_TRUE(game.read_until(INTRO)) << name;
        EXPECT_TRUE(typed != nullptr ? game.send(typed) : kill(game.pid(), signal_number) == 0);
        const std::optional<int> status = game.wait_end(5);
        ASSERT_TRUE(status) << name << ": still running";
        EXPECT_EQ(WIFSIGNALED(*status) ? WTERMSIG(*status) : -WEXITSTATUS(*status), signal_number)
            << name;
        expect_modes_given_back(game, name);
        EXPECT_NE(game.since_match().find(PASTE_MARKS_OFF), std::string::npos)
            << name << ": paste marks left on";
    }
}

TEST(GameOnTerminal, BrokenPipesAndFileSizeLimitsDoNotEndTheGame) {
    // They come from the game's writes to its recording, which fail instead.
    GameOnTerminal game;
    ASSERT_TRUE(game.read_until(INTRO));
    game.signal(SIGPIPE);
    game.signal(SIGXFSZ);
    EXPECT_FALSE(game.wait_end(1)) << "the game ended";
}

TEST(GameOnTerminal, AVanishedTerminalEndsTheGameAsAHangUp) {
    // Started with SIGHUP ignored, the game learns of the hang-up only from the terminal
    // itself; it must still end at once, even in the intro's long pause.
    GameOnTerminal game({.ignore_hangup = true});
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
    ASSERT_TRUE(game.send("\x13"));
    EXPECT_TRUE(game.read_until(PRESS_ANY_KEY)) << "the picture stopped after Ctrl-S";
}

TEST(GameOnTerminal, TheSizeIsTheTerminalsOwnWhateverTheEnvironmentSays) {
    struct Case {
        unsigned short columns, rows;
        const char* environment_lines;
        const char* environment_columns;
        bool enlarge;
    };
    const Case cases[] = {{80, 25, "10", "40", false}, {40, 10, "25", "80", true}};
    for (const Case& c : cases) {
        GameOnTerminal game(
            {.settings = {{"LINES", c.environment_lines}, {"COLUMNS", c.environment_columns}},
             .columns = c.columns,
             .rows = c.rows});
        EXPECT_TRUE(game.read_until(c.enlarge ? ENLARGE : INTRO, 5)) << c.columns << "x" << c.rows;
        EXPECT_EQ(game.output().find(c.enlarge ? INTRO : ENLARGE), std::string::npos)
            << c.columns << "x" << c.rows;
    }
}

TEST(GameInTheBackground, WithNoShellToBringItForwardRefusesAndTouchesNothing) {
    GameOnTerminal game({.job = Job::orphaned});
    const std::string errors = game.errors();
    EXPECT_NE(errors.find("started in the background"), std::string::npos) << errors;
    EXPECT_FALSE(game.read_until("\033", 0.5)) << "wrote on the terminal";
}

TEST(GameInTheBackground, LeavesTheTerminalToTheForegroundAfterLosingIt) {
    // The terminal's new foreground program types a line: the game's read of it fails,
    // which is no hang-up, and the game must neither draw nor change the modes.
    GameOnTerminal game({.job = Job::orphaned_foreground});
    ASSERT_TRUE(game.read_until(INTRO));
    game.signal(SIGUSR1);
    usleep(200000);
    ASSERT_TRUE(game.send("xyzzy\n"));
    game.read_until("xyzzy");  // the terminal's echo
    EXPECT_FALSE(game.read_until("\033", 1)) << "the game wrote after losing the terminal";
    expect_modes_given_back(game, "the foreground's");
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
        GameOnTerminal game({.settings = {{"TERM", type}}});
        const std::optional<int> status = game.wait_end(5);
        ASSERT_TRUE(status) << reason;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << reason << ": " << *status;
        const std::string errors = game.errors();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_EQ(errors.rfind("canopy-hollow: " + reason, 0), 0u) << errors;
        EXPECT_EQ(game.output(), "") << reason << ": wrote on the terminal";
    }
}

TEST(GameOnTerminal, RecordingsThatCannotBeShownAreNamed) {
    // A file that is no recording is refused before the terminal is touched; one that
    // does not fit the game, once the terminal has been given back.
    const std::string head = "canopy-hollow-recording 1\nseed 7\nwait 32\nwait 32\nstart 1000\n";
    const std::string notes = testing::TempDir() + "canopy_notes.txt";
    const std::string unfit = testing::TempDir() + "canopy_unfit.rec";
    const std::string quit = testing::TempDir() + "canopy_quit.rec";
    std::ofstream(notes) << "someone's notes\n";
    std::ofstream(unfit) << head << "frame 1040\nwait 32\n";
    std::ofstream(quit) << head << "frame 1040\nkey 113\nwait 121\nframe 1090\n";
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"missing.rec", "No such file or directory", false},
        {"/", "Is a directory", false},
        {"/dev/null", "not a regular file, so not a recording", false},
        {notes, "line 1: not a canopy-hollow recording", false},
        {unfit, "line 7: the game waits for no key here: 'wait' does not fit", true},
        {quit, "line 9: the player had quit before it", true},
    };
    for (const auto& [path, reason, shown] : cases) {
        GameOnTerminal game({.options = {"--replay", path}});
        const std::optional<int> status = game.wait_end(20);
        ASSERT_TRUE(status) << reason;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << reason << ": " << *status;
        EXPECT_EQ(game.errors(), "canopy-hollow: cannot replay '" + path + "': " + reason + "\n");
        EXPECT_EQ(game.output().empty(), !shown) << reason;
        expect_modes_given_back(game, reason);
    }
    for (const std::string& file : {notes, unfit, quit}) {
        std::remove(file.c_str());
    }
}

TEST(GameOnTerminal, GlyphsFollowTheLocale) {
    // Under LC_ALL=C, ASCII look-alikes: the status line's four arrows, and no byte beyond
    // ASCII. (The glyphs themselves in a UTF-8 locale: tests/curses.)
    GameOnTerminal game({.settings = {{"LC_ALL", "C"}}});
    for (const char* key : {" ", " "}) {
        ASSERT_TRUE(game.read_until(PRESS_ANY_KEY));
        ASSERT_TRUE(game.send(key));
    }
    ASSERT_TRUE(game.read_until("^v><"));
    EXPECT_EQ(std::count_if(game.output().begin(), game.output().end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }),
              0);
}

}  // namespace
