// The terminal's side of a pseudo-terminal, as a terminal window holds it: an xterm of
// 80x25 (or another size) whose every received byte the test keeps and reads in order.
#pragma once

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>

class TerminalSide {
  public:
    TerminalSide() = default;
    ~TerminalSide() { hang_up(); }
    TerminalSide(const TerminalSide&) = delete;
    TerminalSide& operator=(const TerminalSide&) = delete;

    // Forks a child on a fresh terminal of type xterm-256color, with no signal blocked
    // (the test runner's mask must not reach the game). Returns as fork does.
    pid_t fork_child(unsigned short columns = 80, unsigned short rows = 25) {
        const winsize size{rows, columns, 0, 0};
        const pid_t pid = forkpty(&master_, nullptr, nullptr, &size);
        if (pid == 0) {
            setenv("TERM", "xterm-256color", 1);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
        }
        return pid;
    }

    // Takes what the terminal has received, waiting up to `ms`; false if nothing came or
    // the other side has closed (EIO).
    bool read_some(int ms) {
        pollfd terminal{master_, POLLIN, 0};
        if (master_ < 0 || poll(&terminal, 1, ms) <= 0 || (terminal.revents & POLLIN) == 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t count = read(master_, buffer, sizeof buffer);
        if (count > 0) {
            output_.append(buffer, static_cast<std::size_t>(count));
        }
        return count > 0;
    }

    // Reads until `text` comes after the previous match, for `seconds` at most.
    bool read_until(const std::string& text, double seconds) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            if (const std::size_t found = output_.find(text, mark_); found != std::string::npos) {
                mark_ = found + text.size();
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            read_some(20);
        }
    }

    // Everything received since the previous match or settle, once the other side has
    // been quiet for `quiet_ms`.
    std::string settle(int quiet_ms) {
        while (read_some(quiet_ms)) {
        }
        const std::string sent = output_.substr(mark_);
        mark_ = output_.size();
        return sent;
    }

    // Types bytes on the terminal's keyboard; false if they could not all be sent.
    bool send(const std::string& bytes) const {
        return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // The window takes a new size, and the terminal's foreground is told so.
    bool resize(unsigned short columns, unsigned short rows) const {
        const winsize size{rows, columns, 0, 0};
        return ioctl(master_, TIOCSWINSZ, &size) == 0;
    }

    // The terminal's modes, as its program set them or left them.
    termios modes() const {
        termios modes{};
        tcgetattr(master_, &modes);
        return modes;
    }

    // Closes the terminal, as a window closing or a connection dropping does.
    void hang_up() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }

    int master() const { return master_; }
    const std::string& output() const { return output_; }
    std::string since_match() const { return output_.substr(mark_); }

  private:
    int master_ = -1;
    std::string output_;
    std::size_t mark_ = 0;
};

// How a stand-in for a shell runs the program under test, in a process group of its own:
// foreground, as a shell with job control does; orphaned, in the background with no
// shell to bring it forward (its process group is orphaned); orphaned_foreground, in
// the foreground with no shell, until the shell takes the terminal back on SIGUSR1 and
// restores line mode, as when a second program began.
enum class Job { foreground, orphaned, orphaned_foreground };

// Becomes that shell (in the child of fork_child) and runs `program` (a function that
// does not return) as `job`; each time a foreground program stops, sends 's' on `stops`.
template <typename Program>
[[noreturn]] void run_as_shell(Job job, int stops, Program program) {
    std::signal(SIGTTOU, SIG_IGN);
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    sigprocmask(SIG_BLOCK, &usr1, nullptr);
    const pid_t group = fork();
    if (group == 0) {
        setpgid(0, 0);
        if (job != Job::orphaned) {
            tcsetpgrp(STDIN_FILENO, getpgrp());
        }
        if (job != Job::foreground && fork() != 0) {
            _exit(0);  // the program's parent leaves: its process group is orphaned
        }
        std::signal(SIGTTOU, SIG_DFL);
        sigprocmask(SIG_UNBLOCK, &usr1, nullptr);
        program();
    }
    // The shell keeps nothing else open, so a pipe from the program ends when it does.
    for (int fd = STDERR_FILENO + 1; fd < 256; ++fd) {
        if (fd != stops) {
            close(fd);
        }
    }
    for (int status = 0; job == Job::foreground;) {
        if (waitpid(group, &status, WUNTRACED) < 0 || !WIFSTOPPED(status)) {
            _exit(0);
        }
        [[maybe_unused]] const ssize_t sent = write(stops, "s", 1);
    }
    waitpid(group, nullptr, 0);
    if (job == Job::orphaned_foreground) {
        int signal_number = 0;
        sigwait(&usr1, &signal_number);
        tcsetpgrp(STDIN_FILENO, getpgrp());
        termios modes{};
        tcgetattr(STDIN_FILENO, &modes);
        modes.c_lflag |= ICANON | ECHO;
        modes.c_iflag |= IXON;
        tcsetattr(STDIN_FILENO, TCSANOW, &modes);
    }
    for (;;) {
        pause();
    }
}
