// Recorded games: the reader's verdict on every kind of damaged file, the recording
// file's refusals, and games written down while played that replay to the picture shown
// last, wherever the recording was cut.
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/recording.h"
#include "app/recording_format.h"
#include "game_fixture.h"
#include "terminal/keyboard.h"
#include "tools/capture.h"
#include "tools/replay.h"

namespace {

const std::string HEAD = "canopy-hollow-recording 1\nseed 7\nwait 32\nwait 32\nstart 1000\n";

TEST(RecordingReader, DamageIsOneLineNamingTheLine) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "line 1: empty, not a recording"},
        {"seed 7\n", "line 1: not a canopy-hollow recording"},
        {"canopy-hollow-recording\n", "line 1: not a canopy-hollow recording"},
        {"canopy-hollow-recording 2\nseed 7\n",
         "line 1: format version 2 is newer than this program reads (1)"},
        {"canopy-hollow-recording 0\n", "line 1: bad format version '0'"},
        {"canopy-hollow-recording 1\n", "line 2: cut short before the seed"},
        {"canopy-hollow-recording 1\nwait 32\n", "line 2: the seed must come first, not 'wait'"},
        {"canopy-hollow-recording 1\nseed 4294967296\n",
         "line 2: 'seed' takes one world number (0 to 4294967295)"},
        {HEAD + "frame 1050", "line 6: cut short (the line has no end)"},
        {HEAD + "frame 10x0\n", "line 6: 'frame' takes one tick (0 to 4294967295), not '10x0'"},
        {HEAD + "frame -5\n", "line 6: 'frame' takes one tick (0 to 4294967295), not '-5'"},
        {HEAD + "frame 4294967296\n",
         "line 6: 'frame' takes one tick (0 to 4294967295), not '4294967296'"},
        {HEAD + "frame\n", "line 6: 'frame' takes one tick (0 to 4294967295)"},
        {HEAD + "frame 1 2\n", "line 6: 'frame' takes one tick (0 to 4294967295), not '1' ..."},
        {HEAD + "frame 1050\nkey 0\n", "line 7: 'key' takes one key code (1 to 65535), not '0'"},
        {HEAD + "frame 1050\nwait 65536\n",
         "line 7: 'wait' takes one key code (0 to 65535), not '65536'"},
        {HEAD + "frame 1050\nheld yes\n", "line 7: 'held' takes nothing after it"},
        // A tab parts words; a word after it that is no comment is one too many.
        {HEAD + "frame 1050\nwait 0\twait?\n",
         "line 7: 'wait' takes one key code (0 to 65535), not '0' ..."},
        {HEAD + "frame 1050\nsleep 50\n", "line 7: unknown line 'sleep'"},
        {HEAD + "frame 1050\n\x01\xffz\n", "line 7: unknown line '??z'"},
        {HEAD + "held\n", "line 6: 'held' before the first 'frame'"},
        {HEAD + "start 1000\n", "line 6: a second 'start'"},
        {HEAD + "frame 1050\nkey 9\nheld\n",
         "line 8: 'held' must come right after its 'frame', once"},
        {HEAD + "frame 1050\nkey 9\nkey 9\n", "line 8: a frame polls one key, before any wait"},
        {HEAD + "frame 1050\nwait 9\nkey 9\n", "line 8: a frame polls one key, before any wait"},
        {"canopy-hollow-recording 1\nseed 7\nwait 32\nwait 32\nwait 32\n",
         "line 5: a third key before 'start': the game waits for two (intro and title)"},
        {"canopy-hollow-recording 1\nseed 7\nwait 32\nstart 5\n",
         "line 4: 'start' after 1 keys: the game waits for two (intro and title) first"},
        {"canopy-hollow-recording 1\nseed 7\nframe 5\n", "line 3: 'frame' before 'start'"},
    };
    for (const auto& [text, error] : cases) {
        const RecordingReadResult read = read_recording(text);
        EXPECT_FALSE(read.recording.has_value()) << error;
        EXPECT_EQ(read.error, error);
    }
}

TEST(RecordingReader, ReadsCommentsBlankLinesAndWindowsLineEndsAndWritesTheSame) {
    const std::string text =
        "canopy-hollow-recording 1  # made by hand\r\n\n# the world\nseed 4294967295\n"
        "wait 0\nwait 27 # Esc\nstart 4294967290\n\nframe 4294967295\nheld\nkey 38\n"
        "wait 65535\nwait 121\nframe 3\n";
    const RecordingReadResult good = read_recording(text);
    ASSERT_TRUE(good.recording.has_value()) << good.error;
    EXPECT_EQ(good.recording->seed, 4294967295u);
    // Each event with the line it stands on, written out again with names for the keys.
    std::string events;
    for (const RecordedEvent& event : good.recording->events) {
        events += std::to_string(event.line) + ": " + recording_line(event.kind, event.value);
    }
    EXPECT_EQ(events,
              "5: wait 0\n6: wait 27  # Esc\n7: start 4294967290\n9: frame 4294967295\n10: held\n"
              "11: key 38  # & or Up\n12: wait 65535\n13: wait 121  # y\n14: frame 3\n");
    // The whole recording written out reads back the same.
    const std::string written = recording_text(*good.recording);
    const RecordingReadResult again = read_recording(written);
    ASSERT_TRUE(again.recording.has_value()) << again.error;
    EXPECT_EQ(recording_text(*again.recording), written);
}

class RecordingFile : public ::testing::Test {
  protected:
    std::string path = ::testing::TempDir() + "canopy_recording_file.rec";
    void SetUp() override { std::remove(path.c_str()); }
    void TearDown() override {
        end_recording();
        std::remove(path.c_str());
    }
};

TEST_F(RecordingFile, RefusedBeforePlayUnlessItCanBeWrittenAndIsNew) {
    std::ofstream(path, std::ios::binary) << "someone's notes\n";
    const std::string dir = ::testing::TempDir();
    const std::tuple<std::string, bool, std::string> cases[] = {
        {path, false, "cannot record to '" + path + "': it exists already (--force replaces it)"},
#ifndef _WIN32
        {dir, true, "cannot record to '" + dir + "': Is a directory"},
#endif
        {dir + "no/such/dir.rec", true,
         "cannot record to '" + dir + "no/such/dir.rec': No such file or directory"},
#ifdef __linux__
        {"/dev/full", true, "cannot record to '/dev/full': No space left on device"},
#endif
    };
    for (const auto& [where, replace, error] : cases) {
        EXPECT_EQ(open_recording(where, replace, 1), error);
    }
    EXPECT_EQ(file_text(path), "someone's notes\n");

    EXPECT_EQ(open_recording(path, true, 99), "");
    EXPECT_EQ(end_recording(), "");
    EXPECT_EQ(file_text(path), recording_header(99));
    discard_recording();  // nothing open: nothing removed
    EXPECT_EQ(file_text(path), recording_header(99));

    std::remove(path.c_str());
    EXPECT_EQ(open_recording(path, false, 5), "");
    discard_recording();  // a game that never started leaves no file behind
    EXPECT_FALSE(std::ifstream(path).good());
}

#ifndef _WIN32  // a file size limit stands in for a full disk
TEST_F(RecordingFile, AWriteThatFailsMidGameIsReportedWithTheLastFrameKept) {
    // A file size limit makes writes fail part way, as a full disk would.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{200, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);

    ASSERT_EQ(open_recording(path, false, 3), "");
    after_key_wait(' ');  // the intro and title screens
    after_key_wait(' ');
    record_start(0);
    for (std::uint32_t tick = 50; tick <= 1000; tick += 50) {
        record_frame(tick);
    }
    const std::string error = end_recording();
    setrlimit(RLIMIT_FSIZE, &limit);
    sigaction(SIGXFSZ, &previous, nullptr);

    // What reached the disk is whole lines only, and replays; the message counts them.
    const std::string text = file_text(path);
    EXPECT_LE(text.size(), 200u);
    const RecordingReadResult read = read_recording(text);
    ASSERT_TRUE(read.recording.has_value()) << read.error;
    const auto frames = std::count_if(
        read.recording->events.begin(), read.recording->events.end(),
        [](const RecordedEvent& event) { return event.kind == RecordedEvent::Kind::frame; });
    EXPECT_GT(frames, 5);
    EXPECT_LT(frames, 20);
    EXPECT_EQ(error, "the recording '" + path + "' is incomplete: it stops after frame " +
                         std::to_string(frames) + " (File too large)");
}
#endif

class RecordedGame : public FreshGame {
  protected:
    std::string path = ::testing::TempDir() + "canopy_recorded_game.rec";
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
    EXPECT_NE(cuts.back().first.find("frame 4294967264\n"), std::string::npos);

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
    // Asked for fewer frames, the whole recording stops where the cut would have.
    const RecordingReadResult whole = read_recording(cuts.back().first);
    ASSERT_TRUE(whole.recording.has_value());
    const ReplayResult some = replay_recording(*whole.recording, 20);
    EXPECT_EQ(some.frames, 20);
    EXPECT_EQ(picture(headless_last_frame()), picture(cuts[20].second));
    EXPECT_NE(replay_unplayed_line(), 0u);
}

TEST_F(RecordedGame, ARecordingThatDoesNotFitTheGameStopsAtItsLine) {
    const std::pair<std::string, const char*> cases[] = {
        {HEAD + "frame 1050\nwait 32\n",
         "line 7: the game waits for no key here: 'wait' does not fit"},
        {HEAD + "frame 1050\nkey 113\nframe 1100\n",
         "line 8: the game waits for a key here, not for 'frame'"},
        {HEAD + "frame 1050\nkey 113\nwait 110\nwait 110\n",
         "line 9: the game waits for no key here: 'wait' does not fit"},
    };
    for (const auto& [text, error] : cases) {
        const RecordingReadResult read = read_recording(text);
        ASSERT_TRUE(read.recording.has_value()) << read.error;
        EXPECT_EQ(replay_recording(*read.recording, -1).error, error);
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
            EXPECT_EQ(capture.capture->has_colours, std::string(kind) == ".ansi");
            EXPECT_EQ(capture_differences(headless_last_frame(), *capture.capture),
                      std::vector<std::string>{})
                << game << kind;
        }
    }
}

}  // namespace
