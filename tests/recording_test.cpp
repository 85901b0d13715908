// Recorded games: the reader's verdict on every kind of damaged file, the recording
// file's refusals, games written down while played that replay to the picture shown
// last, wherever the recording was cut, and recorded games that go on.
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/recording.h"
#include "app/recording_format.h"
#include "app/replay.h"
#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "tools/capture.h"
#include "util/locked_file.h"

namespace {

// A file of this test's own, so that tests run side by side never share one.
std::string own_file() {
    return ::testing::TempDir() + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

const std::string HEAD = "canopy-hollow-recording 1\nseed 7\nwait 32\nwait 32\nstart 1000\n";

TEST(RecordingReader, DamageIsOneLineNamingTheLine) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "line 1: empty, not a recording"},
        {"seed 7\n", "line 1: not a canopy-hollow recording"},
        {"canopy-hollow-recording 3\nseed 7\n",
         "line 1: format version 3 is newer than this program reads (2)"},
        {"canopy-hollow-recording 1\n", "line 2: cut short before the seed"},
        {"canopy-hollow-recording 1\nwait 32\n", "line 2: the seed must come first, not 'wait'"},
        {"canopy-hollow-recording 1\nseed 4294967296\n",
         "line 2: 'seed' takes one world number (0 to 4294967295)"},
        {HEAD + "frame 1050", "line 6: cut short (the line has no end)"},
        {HEAD + "frame 10x0\n", "line 6: 'frame' takes one tick (0 to 4294967295), not '10x0'"},
        {HEAD + "frame 1050\nkey 0\n", "line 7: 'key' takes one key code (1 to 65535), not '0'"},
        // A tab parts words; a word after it that is no comment is one too many.
        {HEAD + "frame 1050\nwait 0\twait?\n",
         "line 7: 'wait' takes one key code (0 to 65535), not '0' ..."},
        {HEAD + "frame 1050\nsleep 50\n", "line 7: unknown line 'sleep'"},
        {HEAD + "frame 1050\n\x01\xffz\n", "line 7: unknown line '??z'"},
        {HEAD + "held\n", "line 6: 'held' before the first 'frame'"},
        {HEAD + "start 1000\n", "line 6: a second 'start'"},
        {HEAD + "frame 1050\nkey 9\nheld\n",
         "line 8: 'held' must come right after its 'frame', once"},
        {"canopy-hollow-recording 1\nseed 7\nwait 32\nwait 32\nwait 32\n",
         "line 5: a third key before 'start': the game waits for two (intro and title)"},
        {"canopy-hollow-recording 1\nseed 7\nwait 32\nstart 5\n",
         "line 4: 'start' after 1 keys: the game waits for two (intro and title) first"},
        {"canopy-hollow-recording 1\nseed 7\nframe 5\n", "line 3: 'frame' before 'start'"},
        {HEAD + "frame 1050\nresume 9\n", "line 7: 'resume' needs format version 2"},
        {"canopy-hollow-recording 2\nseed 7\nwait 32\nwait 32\nstart 1\nframe 2\nresume 9\n"
         "key 9\n",
         "line 8: a frame polls one key, before any wait"},
    };
    for (const auto& [text, error] : cases) {
        const RecordingReadResult read = read_recording(text);
        EXPECT_FALSE(read.recording.has_value()) << error;
        EXPECT_EQ(read.error, error);
    }
}

TEST(RecordingReader, ReadsCommentsBlankLinesAndWindowsLineEndsAndWritesTheSame) {
    const std::string text =
        "canopy-hollow-recording 2  # made by hand\r\n\n# the world\nseed 4294967295\n"
        "wait 0\nresume 5\nwait 27 # Esc\nstart 4294967290\n\nframe 4294967295\nheld\nkey 38\n"
        "wait 65535\nwait 121\nresume 0\nframe 3\n";
    const RecordingReadResult good = read_recording(text);
    ASSERT_TRUE(good.recording.has_value()) << good.error;
    EXPECT_EQ(good.recording->seed, 4294967295u);
    // Each event with the line it stands on, written out again with names for the keys.
    std::string events;
    for (const RecordedEvent& event : good.recording->events) {
        events += std::to_string(event.line) + ": " + recording_line(event.kind, event.value);
    }
    EXPECT_EQ(events,
              "5: wait 0\n6: resume 5\n7: wait 27  # Esc\n8: start 4294967290\n"
              "10: frame 4294967295\n11: held\n12: key 38  # & or Up\n13: wait 65535\n"
              "14: wait 121  # y\n15: resume 0\n16: frame 3\n");
}

class RecordingFile : public ::testing::Test {
  protected:
    std::string path = own_file();
    void SetUp() override { std::remove(path.c_str()); }
    void TearDown() override {
        end_recording();
        std::remove(path.c_str());
    }
};

TEST_F(RecordingFile, RefusedBeforePlayUnlessItCanBeWrittenAndIsNew) {
    std::ofstream(path, std::ios::binary) << "someone's notes\n";
    const std::string dir = ::testing::TempDir();
    const std::string game = dir + "canopy_recording_file_game.rec";
    std::ofstream(game, std::ios::binary) << recording_header(3);
    const std::tuple<std::string, bool, std::string> cases[] = {
        {path, false, "it exists already (--force replaces it)"},
        {game, false,
         "it holds a recorded game (--resume " + game + " goes on with it, --force replaces it)"},
        {dir, true, "--force replaces only a file or a link, and this is neither"},
        {dir + "no/such/dir.rec", true, "No such file or directory"},
    };
    for (const auto& [where, replace, error] : cases) {
        EXPECT_EQ(open_recording(where, replace, 1), "cannot record to '" + where + "': " + error);
    }
    std::remove(game.c_str());

    // What --force replaces stays until the game has its terminal.
    EXPECT_EQ(open_recording(path, true, 99), "");
    EXPECT_EQ(file_text(path), "someone's notes\n");
    recording_takes_place();
    EXPECT_EQ(end_recording(), "");
    EXPECT_EQ(file_text(path), recording_header(99));

    std::remove(path.c_str());
    EXPECT_EQ(open_recording(path, false, 5), "");
    discard_recording();  // a game that never started leaves no file behind
    EXPECT_FALSE(std::ifstream(path).good());
}

#ifndef _WIN32
TEST_F(RecordingFile, ForceReplacesALinkAsALinkAndRefusesOtherFiles) {
    const std::string target = path + ".target";
    std::ofstream(target, std::ios::binary) << "precious\n";
    for (const std::string& points_at : {target, path + ".nowhere"}) {
        ASSERT_EQ(symlink(points_at.c_str(), path.c_str()), 0);
        EXPECT_EQ(open_recording(path, true, 4), "");
        recording_takes_place();
        EXPECT_EQ(end_recording(), "");
        EXPECT_EQ(file_text(path), recording_header(4));
        std::remove(path.c_str());
    }
    EXPECT_EQ(file_text(target), "precious\n");
    EXPECT_EQ(path_kind(path + ".nowhere"), PathKind::missing);  // a link's target: never made
    std::remove(target.c_str());

    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(open_recording(path, true, 4),
              "cannot record to '" + path +
                  "': --force replaces only a file or a link, and this is neither");
}

// A failing write keeps the whole lines before it: with a file size limit (in a child,
// where the limit and the ignored signal stay) as a full disk, and with a pipe whose
// reader has gone.
TEST_F(RecordingFile, AWriteThatFailsMidGameIsReportedWithTheLastFrameKept) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit small{200, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &small);
        if (!open_recording(path, false, 3).empty()) {
            _exit(3);
        }
        after_key_wait(' ');  // the intro and title screens
        after_key_wait(' ');
        record_start(0);
        for (std::uint32_t tick = 50; tick <= 1000; tick += 50) {
            record_frame(tick);
        }
        _exit(end_recording() == "the recording '" + path +
                                     "' is incomplete: it stops after frame 8 (File too large)"
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    const std::string text = file_text(path);
    EXPECT_EQ(text.substr(text.size() - 20), "frame 350\nframe 400\n");

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    signal(SIGPIPE, SIG_IGN);
    LockedFile pipe_end{ends[1]};
    EXPECT_EQ(file_write(pipe_end, "frame 50\n", 9), "Broken pipe");
    signal(SIGPIPE, SIG_DFL);
    file_close(pipe_end);
}
#endif

class RecordedGame : public FreshGame {
  protected:
    std::string path = own_file();
    void TearDown() override {
        end_recording();
        std::remove(path.c_str());
    }
};

TEST_F(RecordedGame, EveryCutReplaysToThePictureShownLast) {
    ASSERT_EQ(open_recording(path, true, 4242), "");
    headless_push_named_key("x");  // pressed during the intro; the title gets a space
    headless_answer_waits(1);
    start_game(4242);

    struct Step {
        const char* keys;  // queued before the frame: one is polled, a question takes more
        std::uint32_t ms;  // since the last frame's tick, or the tick itself if above 10 s
        bool held;         // the console holds the game in this frame's sleep
    };
    // After the pause a short step, then enough frames for the creatures to move; the
    // question swallows two keys; the clock wraps around before "e"; the last question
    // is left unanswered.
    std::vector<Step> steps = {
        {"", 37, false}, {"Tab", 50, false}, {"", 50, true}, {"Down", 90, false}};
    steps.insert(steps.end(), 40, Step{"", 100, false});
    steps.insert(steps.end(), {{"q x N n", 60, false},
                               {"", 0xFFFFFFE0u, false},
                               {"e", 70, false},
                               {"Esc", 400, false},
                               {"Home", 50, false},
                               {"q", 50, false}});
    // The file as it stood after each frame, beside the picture shown last.
    std::vector<std::pair<std::string, Frame>> cuts = {{file_text(path), headless_last_frame()}};
    bool waiting = false;
    for (const Step& step : steps) {
        std::istringstream keys(step.keys);
        for (std::string key; keys >> key;) {
            headless_push_named_key(key);
        }
        if (step.held) {
            headless_hold_next_sleep();
        }
        headless_set_clock(step.ms > 10000 ? step.ms : frame_time + step.ms);
        try {
            run_frame();
        } catch (const HeadlessInputExhausted&) {
            waiting = true;
        }
        cuts.emplace_back(file_text(path), headless_last_frame());
    }
    EXPECT_EQ(end_recording(), "");
    ASSERT_TRUE(waiting) << frame_text(headless_last_frame());

    for (std::size_t frames = 0; frames < cuts.size(); ++frames) {
        const RecordingReadResult read = read_recording(cuts[frames].first);
        ASSERT_TRUE(read.recording.has_value()) << read.error;
        const ReplayResult replay = replay_recording(*read.recording, -1);
        EXPECT_EQ(replay.error, "") << frames;
        EXPECT_EQ(replay.frames, static_cast<long>(frames));
        EXPECT_EQ(replay.waiting, frames == cuts.size() - 1);
        EXPECT_EQ(picture(headless_last_frame()), picture(cuts[frames].second)) << frames;
        EXPECT_EQ(replay_unplayed_line(), 0u);
    }
}

// Games played in a real terminal, kept with the terminal's last picture, text and
// colours: each replays to exactly that picture.
TEST(RealGames, ReplayToTheTerminalsLastPicture) {
    const std::string dir = CANOPY_RECORDINGS_DIR;
    for (const char* game :
         {"quit", "term", "hangup", "level_0", "level_1", "level_2", "level_3"}) {
        std::string text = file_text(dir + "/" + game + ".rec");
        if (std::string(game) == "quit") {
            // The player's "y" would end this process; the picture does not change with it.
            const std::size_t y = text.rfind("wait 121  # y\n");
            ASSERT_EQ(y + 14, text.size());
            text.erase(y);
        }
        const RecordingReadResult read = read_recording(text);
        ASSERT_TRUE(read.recording.has_value()) << game << ": " << read.error;
        const ReplayResult replay = replay_recording(*read.recording, -1);
        EXPECT_EQ(replay.error, "") << game;
        for (const char* kind : {".ansi", ".txt"}) {
            const std::string capture_text = file_text(dir + "/" + game + kind);
            if (capture_text.empty()) {
                continue;
            }
            const CaptureReadResult capture = read_capture(capture_text);
            ASSERT_TRUE(capture.capture.has_value()) << game << kind << ": " << capture.error;
            EXPECT_EQ(capture_differences(headless_last_frame(), *capture.capture),
                      std::vector<std::string>{})
                << game << kind;
        }
    }
}

// Going on with a recorded game, in this process: the test's console taker stops the
// game at the moment it would take the terminal.
struct TookConsole {};
void take_and_stop() {
    continue_recording();
    console_write(screen_buffer);
    throw TookConsole{};
}

class ResumedGame : public RecordedGame {
  protected:
    // Resumes the file: an empty string once the game has taken the console, else why not.
    int status = 0;  // of the last resume refused
    std::string resume() {
        std::uint32_t seed = 0;
        if (std::string why = open_resumed_recording(path, seed, status); !why.empty()) {
            return why;
        }
        status = 2;  // unless the game takes the console
        try {
            return "cannot resume '" + path +
                   "': " + resume_recording(seed, resumed_events(), take_and_stop);
        } catch (const TookConsole&) {
            return {};
        }
    }
    // The picture canopy-sim shows for this text.
    static Frame replayed(const std::string& text) {
        const RecordingReadResult read = read_recording(text);
        EXPECT_TRUE(read.recording.has_value()) << read.error;
        replay_recording(*read.recording, -1);
        return headless_last_frame();
    }
};

TEST_F(ResumedGame, ALastLineCutAtAnyByteIsDroppedAndTheGameGoesOnFromTheLineBefore) {
    const std::string text = file_text(std::string(CANOPY_RECORDINGS_DIR) + "/term.rec");
    const std::size_t last = text.rfind('\n', text.size() - 2) + 1;
    const Frame before = replayed(text.substr(0, last));
    const Frame after = replayed(text);
    for (std::size_t cut = last; cut <= text.size(); ++cut) {
        std::ofstream(path, std::ios::binary) << text.substr(0, cut);
        EXPECT_EQ(resume(), "") << cut;
        // Whole lines are kept, and the version says that sittings may follow.
        const std::string whole =
            "canopy-hollow-recording 2" + text.substr(25, (cut == text.size() ? cut : last) - 25);
        EXPECT_EQ(picture(headless_last_frame()), picture(cut == text.size() ? after : before))
            << cut;
        EXPECT_EQ(end_recording(), "");
        EXPECT_EQ(file_text(path), whole) << cut;
    }
}

TEST_F(ResumedGame, QuitThenResumedIsTheMainMenuOverTheColonyAsItWas) {
    const std::string text = file_text(std::string(CANOPY_RECORDINGS_DIR) + "/quit.rec");
    const Frame question = replayed(text.substr(0, text.rfind("wait 121")));
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_EQ(resume(), "");
    const Frame& resumed = headless_last_frame();
    EXPECT_EQ(frame_row_text(resumed, 0, 54), " Main menu:               ");
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(frame_row_text(resumed, y, 0, 54), frame_row_text(question, y, 0, 54)) << y;
    }
}

TEST_F(ResumedGame, RefusedFilesAreLeftAsTheyWere) {
    const std::pair<std::string, std::string> cases[] = {
        {"someone's notes\n", "line 1: not a canopy-hollow recording"},
        {"canopy-hollow-recording 3\nseed 7\n",
         "line 1: format version 3 is newer than this program reads (2)"},
        // What the game cannot have read there.
        {HEAD + "frame 1050\nwait 32\n",
         "line 7: the game waits for no key here: 'wait' does not fit"},
        {HEAD + "frame 1050\nkey 113\nframe 1100\n",
         "line 8: the game waits for a key here, not for 'frame'"},
    };
    for (const auto& [text, error] : cases) {
        std::ofstream(path, std::ios::binary) << text;
        EXPECT_EQ(resume(), "cannot resume '" + path + "': " + error);
        EXPECT_EQ(status, 2);
        end_recording();
        EXPECT_EQ(file_text(path), text);
    }
}

#ifndef _WIN32
TEST_F(ResumedGame, AFileHeldByAnotherGameIsRefusedAndOneLeftByADeadGameIsNot) {
    std::ofstream(path, std::ios::binary) << HEAD;
    LockedFile other;
    ASSERT_EQ(file_open(other, path), "");
    ASSERT_TRUE(file_lock(other));
    EXPECT_EQ(resume(), "cannot resume '" + path + "': another game is playing it");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(open_recording(path, true, 1),
              "cannot record to '" + path + "': another game is playing it");
    file_close(other);
    EXPECT_EQ(file_text(path), HEAD);

    const pid_t child = fork();
    if (child == 0) {
        file_open(other, path);
        file_lock(other);
        raise(SIGKILL);
    }
    waitpid(child, nullptr, 0);
    EXPECT_EQ(resume(), "");
}

// Without a terminal the game refuses to start, and touches no file.
TEST(ResumedGameProcess, NothingIsReplacedOrWrittenWithoutATerminal) {
    const std::string path = ::testing::TempDir() + "canopy_no_terminal.rec";
    std::ofstream(path, std::ios::binary) << HEAD;
    for (const char* options : {" --force --record ", " --resume "}) {
        const std::string command =
            std::string(CANOPY_GAME) + options + path + " </dev/null >/dev/null 2>&1";
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1) << options;
        EXPECT_EQ(file_text(path), HEAD);
    }
    std::remove(path.c_str());
}
#endif

}  // namespace
