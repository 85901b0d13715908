// canopy-sim and canopy-hollow as processes: what they answer to the same numbers, and
// canopy-sim's refusals of hostile input, each one line with control bytes shown as '?',
// within a small memory limit.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "game_fixture.h"

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

class SimInput : public testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(mkdtemp(dir_.data()), nullptr); }
    void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

    // Runs the program with these words and no input, for at most 20 s, in at most 64 MB
    // of address space (not under the sanitizers, which reserve far more).
    Outcome run(const char* program, std::vector<std::string> words) const {
        const std::string out = dir_ + "/out", err = dir_ + "/err";
        if (fork() == 0) {
            alarm(20);  // a read that blocks is a fault too
#ifndef __SANITIZE_ADDRESS__
            const rlimit memory{64 << 20, 64 << 20};
            setrlimit(RLIMIT_AS, &memory);
#endif
            dup2(open("/dev/null", O_RDONLY), 0);
            dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            std::vector<char*> argv{const_cast<char*>(program)};
            for (std::string& word : words) {
                argv.push_back(word.data());
            }
            argv.push_back(nullptr);
            execv(program, argv.data());
            _exit(127);
        }
        int status = 0;
        wait(&status);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), file_text(out),
                file_text(err)};
    }

    std::string dir_ = "/tmp/canopy-sim-input-XXXXXX";
};

// The first line a program wrote on standard error, after its name.
std::string said(const std::string& err) {
    return err.substr(err.find(':') + 1, err.find('\n') - err.find(':'));
}

TEST_F(SimInput, BothProgramsReadTheSameWordsAsTheSameNumber) {
    const std::vector<std::vector<std::string>> refused = {
        {"--seed", "-1"},   {"--seed", "4294967296"}, {"--seed", "99999999999999999999"},
        {"--seed", "0x10"}, {"--seed=1e3"},           {"--seed", "\033[2J"},
    };
    for (const auto& words : refused) {
        const Outcome game = run(CANOPY_GAME, words), sim = run(CANOPY_SIM, words);
        EXPECT_EQ(game.status, 2) << words[0];
        EXPECT_EQ(sim.status, 2) << words[0];
        EXPECT_EQ(said(game.err), said(sim.err));
    }
    // As the game reads it: world 10, not world 8.
    for (const auto& [given, meant] : {std::pair{"010", "10"}, {"0000000000007", "7"}}) {
        EXPECT_EQ(run(CANOPY_SIM, {std::string("--seed=") + given, "--frames", "1"}).out,
                  run(CANOPY_SIM, {"--seed", meant, "--frames", "1"}).out)
            << given;
    }
}

TEST_F(SimInput, HostileInputIsRefusedInOneEscapedLine) {
    const std::string fifo = dir_ + "/fifo", big = dir_ + "/big.rec", evil = dir_ + "/evil";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream{big};
    ASSERT_EQ(truncate(big.c_str(), (128 << 20) + 1), 0);  // sparse: no disk is used
    std::ofstream(evil) << "3:X\033]2;PWNED\007\033[2J\n";
    std::ofstream(dir_ + "/c1") << "ab\u009b2J\n";  // CSI as an 8-bit control
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--replay", "/dev/zero"}, "/dev/zero: not a regular file, so not a recording"},
        {{"--script", "/dev/zero"}, "/dev/zero: not a regular file, so not a key script"},
        {{"--verify", "--expect", "/dev/zero"}, "/dev/zero: not a regular file, so not a capture"},
        {{"--replay", fifo}, fifo + ": not a regular file, so not a recording"},
        {{"--replay", big}, big + ": larger than any recording (over 128 MB)"},
        {{"--script", evil}, evil + ": unknown key 'X?]2;PWNED??[2J'"},
        {{"--verify", "--expect", dir_ + "/c1"},
         dir_ + "/c1: line 1: a control character, not a screen"},
        {{"--replay", "\033[2J.rec"}, "?[2J.rec: No such file or directory"},
        {{"--frames", "99999999999999999999"},
         "--frames takes a frame count from 0 to 2147483647, not '99999999999999999999'"},
    };
    for (const auto& [words, line] : cases) {
        const Outcome sim = run(CANOPY_SIM, words);
        EXPECT_EQ(sim.status, 2) << line;
        EXPECT_EQ(sim.err, "canopy-sim: " + line + "\n");
    }
}

}  // namespace
#endif
