#include "app/recording_format.h"

#include <array>
#include <cctype>

#include "platform/key_names.h"
#include "util/printable.h"

namespace {

using Kind = RecordedEvent::Kind;

struct EventWord {
    Kind kind;
    const char* word;
    const char* what;       // the number it takes, for messages; null: none
    std::uint32_t minimum;  // the range of that number
    std::uint32_t maximum;
};
constexpr EventWord EVENT_WORDS[] = {
    {Kind::wait, "wait", "key code", 0, 0xFFFF},
    {Kind::start, "start", "tick", 0, UINT32_MAX},
    {Kind::frame, "frame", "tick", 0, UINT32_MAX},
    {Kind::held, "held", nullptr, 0, 0},
    // A frame that polled nothing has no key line: 0 is "no key".
    {Kind::key, "key", "key code", 1, 0xFFFF},
};

const EventWord& word_of(Kind kind) {
    return EVENT_WORDS[static_cast<std::size_t>(kind)];
}

// Decimal digits only: no sign, no spaces, no hexadecimal.
std::optional<std::uint32_t> parse_number(std::string_view text, std::uint32_t minimum,
                                          std::uint32_t maximum) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > maximum) {
            return std::nullopt;
        }
    }
    if (value < minimum) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// The words of a line before its comment; at most three are kept (none is longer).
struct Words {
    std::array<std::string_view, 3> word;
    std::size_t count = 0;
};
Words split_words(std::string_view line) {
    Words words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#') {
            break;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (words.count < words.word.size()) {
            words.word[words.count] = line.substr(start, i - start);
        }
        ++words.count;
    }
    return words;
}

// Where the reader stands in the game the recording describes.
struct Reader {
    enum class Stage { header, seed, before_start, playing };
    Stage stage = Stage::header;
    int waits_before_start = 0;
    bool in_frame = false;  // a frame line has been read
    bool frame_held = false;
    bool frame_key = false;
    bool frame_waited = false;
};

// Checks that an event can come next; returns why not, or an empty string.
std::string order_error(Reader& reader, Kind kind) {
    const std::string word = std::string("'") + word_of(kind).word + "'";
    if (reader.stage == Reader::Stage::before_start) {
        if (kind == Kind::wait) {
            if (reader.waits_before_start == RECORDING_WAITS_BEFORE_START) {
                return "a third key before 'start': the game waits for two (intro and title)";
            }
            ++reader.waits_before_start;
            return {};
        }
        if (kind == Kind::start) {
            if (reader.waits_before_start != RECORDING_WAITS_BEFORE_START) {
                return "'start' after " + std::to_string(reader.waits_before_start) +
                       " keys: the game waits for two (intro and title) first";
            }
            reader.stage = Reader::Stage::playing;
            return {};
        }
        return word + " before 'start'";
    }
    switch (kind) {
        case Kind::start:
            return "a second 'start'";
        case Kind::frame:
            reader.in_frame = true;
            reader.frame_held = reader.frame_key = reader.frame_waited = false;
            return {};
        case Kind::held:
        case Kind::key:
        case Kind::wait:
            break;
    }
    if (!reader.in_frame) {
        return word + " before the first 'frame'";
    }
    if (kind == Kind::held) {
        if (reader.frame_held || reader.frame_key || reader.frame_waited) {
            return "'held' must come right after its 'frame', once";
        }
        reader.frame_held = true;
    } else if (kind == Kind::key) {
        if (reader.frame_key || reader.frame_waited) {
            return "a frame polls one key, before any wait";
        }
        reader.frame_key = true;
    } else {
        reader.frame_waited = true;
    }
    return {};
}

RecordingReadResult failure(std::size_t line, const std::string& message) {
    RecordingReadResult result;
    result.error = "line " + std::to_string(line) + ": " + message;
    return result;
}

}  // namespace

RecordingReadResult read_recording(std::string_view text) {
    if (text.empty()) {
        return failure(1, "empty, not a recording");
    }
    Recording recording;
    Reader reader;
    std::size_t line_number = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        ++line_number;
        const std::size_t end = text.find('\n', position);
        if (end == std::string_view::npos) {
            return failure(line_number, "cut short (the line has no end)");
        }
        std::string_view line = text.substr(position, end - position);
        position = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);  // written or edited on Windows
        }
        const Words words = split_words(line);

        if (reader.stage == Reader::Stage::header) {
            if (words.count != 2 || words.word[0] != RECORDING_MAGIC) {
                return failure(line_number, "not a canopy-hollow recording");
            }
            const std::optional<std::uint32_t> version = parse_number(words.word[1], 1, UINT32_MAX);
            if (!version) {
                return failure(line_number, "bad format version " + quoted_word(words.word[1]));
            }
            if (*version > RECORDING_VERSION) {
                return failure(line_number, "format version " + std::to_string(*version) +
                                                " is newer than this program reads (" +
                                                std::to_string(RECORDING_VERSION) + ")");
            }
            reader.stage = Reader::Stage::seed;
            continue;
        }
        if (words.count == 0) {
            continue;  // blank or a comment
        }
        if (reader.stage == Reader::Stage::seed) {
            if (words.word[0] != "seed") {
                return failure(line_number,
                               "the seed must come first, not " + quoted_word(words.word[0]));
            }
            const std::optional<std::uint32_t> seed =
                words.count == 2 ? parse_number(words.word[1], 0, UINT32_MAX) : std::nullopt;
            if (!seed) {
                return failure(line_number, "'seed' takes one world number (0 to 4294967295)");
            }
            recording.seed = *seed;
            reader.stage = Reader::Stage::before_start;
            continue;
        }

        const EventWord* event = nullptr;
        for (const EventWord& candidate : EVENT_WORDS) {
            if (words.word[0] == candidate.word) {
                event = &candidate;
            }
        }
        if (event == nullptr) {
            return failure(line_number, "unknown line " + quoted_word(words.word[0]));
        }
        std::uint32_t value = 0;
        if (event->what == nullptr) {
            if (words.count != 1) {
                return failure(line_number,
                               std::string("'") + event->word + "' takes nothing after it");
            }
        } else {
            const std::optional<std::uint32_t> number =
                words.count == 2 ? parse_number(words.word[1], event->minimum, event->maximum)
                                 : std::nullopt;
            if (!number) {
                return failure(line_number,
                               std::string("'") + event->word + "' takes one " + event->what +
                                   " (" + std::to_string(event->minimum) + " to " +
                                   std::to_string(event->maximum) + ")" +
                                   (words.count >= 2 ? ", not " + quoted_word(words.word[1]) +
                                                           (words.count > 2 ? " ..." : "")
                                                     : ""));
            }
            value = *number;
        }
        if (const std::string why = order_error(reader, event->kind); !why.empty()) {
            return failure(line_number, why);
        }
        recording.events.push_back(RecordedEvent{event->kind, value, line_number});
    }
    if (reader.stage == Reader::Stage::seed) {
        return failure(line_number + 1, "cut short before the seed");
    }
    RecordingReadResult result;
    result.recording = std::move(recording);
    return result;
}

std::string key_code_name(std::uint32_t key) {
    const KeyName* named = key_name_of(key);
    if (named != nullptr && named->character == key) {
        return named->name;  // the key types its own code: Space, Tab, Enter
    }
    std::string name;
    if (key > ' ' && key <= '~') {
        name = static_cast<char>(key);
        if (std::isalnum(static_cast<unsigned char>(key)) != 0) {
            return name;  // typed far more often than the function key of the same code
        }
    }
    if (named != nullptr) {
        // Characters and keys share one set of codes: "&" and Up both give 38.
        return name.empty() ? named->name : name + " or " + named->name;
    }
    return name;
}

std::string recording_header(std::uint32_t seed) {
    return std::string(RECORDING_MAGIC) + " " + std::to_string(RECORDING_VERSION) +
           "\n# replay with: canopy-sim --replay FILE\nseed " + std::to_string(seed) + "\n";
}

std::string recording_line(RecordedEvent::Kind kind, std::uint32_t value) {
    const EventWord& word = word_of(kind);
    std::string line = word.word;
    if (word.what != nullptr) {
        line += ' ';
        line += std::to_string(value);
    }
    if (kind == Kind::key || kind == Kind::wait) {
        if (const std::string name = key_code_name(value); !name.empty()) {
            line += "  # " + name;
        }
    }
    return line + "\n";
}

std::string recording_text(const Recording& recording) {
    std::string text = recording_header(recording.seed);
    for (const RecordedEvent& event : recording.events) {
        text += recording_line(event.kind, event.value);
    }
    return text;
}
