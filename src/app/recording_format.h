// The text of a recorded game: what the game read, in the order it read it. A seed, the
// keys and the clock ticks determine a game, so this text replays one exactly. Pure
// functions: text in, a recording or a one-line error out.
//
//   canopy-hollow-recording 1      the format and its version
//   seed 12345                     the world
//   wait 32  # Space               a key read by a blocking wait (intro, title, quit question)
//   start 5012345                  the tick read as play begins
//   frame 5012397                  the tick a frame read; written once its picture was shown
//   held                           that frame's sleep reported a pause (the console held it)
//   key 113  # q                   the key that frame polled
//   resume 7001234                 a new sitting: the game was stopped and went on, and
//                                  the tick read then starts its clock again (version 2)
//
// A word starting with '#' starts a comment; blank lines are allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr char RECORDING_MAGIC[] = "canopy-hollow-recording";
constexpr std::uint32_t RECORDING_VERSION = 2;
// The version a new recording is written in, so that every reader of version 1 reads
// it until it is first resumed.
constexpr std::uint32_t RECORDING_VERSION_WRITTEN = 1;

// The game waits for exactly this many keys (intro, title) before play begins.
constexpr int RECORDING_WAITS_BEFORE_START = 2;

struct RecordedEvent {
    enum class Kind : std::uint8_t { wait, start, frame, held, key, resume };
    Kind kind;
    std::uint32_t value;  // the key or the tick; 0 for held
    std::size_t line;     // where it stands in the text, for messages
};

struct Recording {
    std::uint32_t seed = 0;
    std::vector<RecordedEvent> events;  // in the order the game read them
};

struct RecordingReadResult {
    std::optional<Recording> recording;
    std::string error;  // one line, "line N: ...", when there is no recording
};

// Reads a recording a line at a time, so that a game of hours takes no more memory to
// read than a game of minutes. Strict, as read_recording.
class RecordingReader {
  public:
    // Takes the next line, without its end. Returns "line N: why" when the line cannot
    // come there; otherwise an empty string, with the event the line holds, if any.
    std::string read_line(std::string_view line, std::optional<RecordedEvent>& event);
    // At the end of the text: why it is not a recording, or an empty string.
    std::string finish() const;
    bool has_seed() const;
    std::uint32_t seed() const { return seed_; }
    std::uint32_t version() const { return version_; }
    std::size_t lines() const { return line_number_; }

  private:
    enum class Stage { header, seed, before_start, playing };
    std::string order_error(RecordedEvent::Kind kind);
    Stage stage_ = Stage::header;
    std::uint32_t version_ = 0;
    std::uint32_t seed_ = 0;
    std::size_t line_number_ = 0;
    int waits_before_start_ = 0;
    bool in_frame_ = false;  // a frame line has been read
    bool frame_held_ = false;
    bool frame_key_ = false;
    bool frame_waited_ = false;
};

// Reads a whole recording. Strict: an unknown line, a bad or out-of-range number, a
// newer format, a line without its end, or events in an order the game cannot read them
// give an error. A recording that simply stops (the game was killed) is accepted.
RecordingReadResult read_recording(std::string_view text);

// The first lines of a recording: the format and version, a comment, the seed.
std::string recording_header(std::uint32_t seed);
// The word that starts an event's line.
const char* recording_word(RecordedEvent::Kind kind);
// One event as its line, newline included; keys carry their name as a comment.
std::string recording_line(RecordedEvent::Kind kind, std::uint32_t value);

// A key code as a person reads it: "q", "Space", "Tab", "& or Up"; empty when it has
// no name.
std::string key_code_name(std::uint32_t key);
