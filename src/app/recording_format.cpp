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
    {Kind::resume, "resume", "tick", 0, UINT32_MAX},
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

RecordingReadResult failure(std::size_t line, const std::string& message) {
    RecordingReadResult result;
    result.error = "line " + std::to_string(line) + ": " + message;
    return result;
}

}  // namespace

// Checks that an event can come next; returns why not, or an empty string.
std::string RecordingReader::order_error(Kind kind) {
    const std::string word = std::string("'") + word_of(kind).word + "'";
    if (kind == Kind::resume) {
        if (version_ < 2) {
            return "'resume' needs format version 2";
        }
        // A sitting ends between frames or in a wait, never inside a frame's lines.
        frame_waited_ = in_frame_;
        return {};
    }
    if (stage_ == Stage::before_start) {
        if (kind == Kind::wait) {
            if (waits_before_start_ == RECORDING_WAITS_BEFORE_START) {
                return "a third key before 'start': the game waits for two (intro and title)";
            }
            ++waits_before_start_;
            return {};
        }
        if (kind == Kind::start) {
            if (waits_before_start_ != RECORDING_WAITS_BEFORE_START) {
                return "'start' after " + std::to_string(waits_before_start_) +
                       " keys: the game waits for two (intro and title) first";
            }
            stage_ = Stage::playing;
            return {};
        }
        return word + " before 'start'";
    }
    switch (kind) {
        case Kind::start:
            return "a second 'start'";
        case Kind::frame:
            in_frame_ = true;
            frame_held_ = frame_key_ = frame_waited_ = false;
            return {};
        default:
            break;
    }
    if (!in_frame_) {
        return word + " before the first 'frame'";
    }
    if (kind == Kind::held) {
        if (frame_held_ || frame_key_ || frame_waited_) {
            return "'held' must come right after its 'frame', once";
        }
        frame_held_ = true;
    } else if (kind == Kind::key) {
        if (frame_key_ || frame_waited_) {
            return "a frame polls one key, before any wait";
        }
        frame_key_ = true;
    } else {
        frame_waited_ = true;
    }
    return {};
}

bool RecordingReader::has_seed() const {
    return stage_ == Stage::before_start || stage_ == Stage::playing;
}

std::string RecordingReader::read_line(std::string_view line, std::optional<RecordedEvent>& event) {
    event.reset();
    ++line_number_;
    auto fail = [&](const std::string& message) {
        return "line " + std::to_string(line_number_) + ": " + message;
    };
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);  // written or edited on Windows
    }
    const Words words = split_words(line);

    if (stage_ == Stage::header) {
        if (words.count != 2 || words.word[0] != RECORDING_MAGIC) {
            return fail("not a canopy-hollow recording");
        }
        const std::optional<std::uint32_t> version = parse_number(words.word[1], 1, UINT32_MAX);
        if (!version) {
            return fail("bad format version " + quoted_word(words.word[1]));
        }
        if (*version > RECORDING_VERSION) {
            return fail("format version " + std::to_string(*version) +
                        " is newer than this program reads (" + std::to_string(RECORDING_VERSION) +
                        ")");
        }
        version_ = *version;
        stage_ = Stage::seed;
        return {};
    }
    if (words.count == 0) {
        return {};  // blank or a comment
    }
    if (stage_ == Stage::seed) {
        if (words.word[0] != "seed") {
            return fail("the seed must come first, not " + quoted_word(words.word[0]));
        }
        const std::optional<std::uint32_t> seed =
            words.count == 2 ? parse_number(words.word[1], 0, UINT32_MAX) : std::nullopt;
        if (!seed) {
            return fail("'seed' takes one world number (0 to 4294967295)");
        }
        seed_ = *seed;
        stage_ = Stage::before_start;
        return {};
    }

    const EventWord* found = nullptr;
    for (const EventWord& candidate : EVENT_WORDS) {
        if (words.word[0] == candidate.word) {
            found = &candidate;
        }
    }
    if (found == nullptr) {
        return fail("unknown line " + quoted_word(words.word[0]));
    }
    std::uint32_t value = 0;
    if (found->what == nullptr) {
        if (words.count != 1) {
            return fail(std::string("'") + found->word + "' takes nothing after it");
        }
    } else {
        const std::optional<std::uint32_t> number =
            words.count == 2 ? parse_number(words.word[1], found->minimum, found->maximum)
                             : std::nullopt;
        if (!number) {
            return fail(
                std::string("'") + found->word + "' takes one " + found->what + " (" +
                std::to_string(found->minimum) + " to " + std::to_string(found->maximum) + ")" +
                (words.count >= 2
                     ? ", not " + quoted_word(words.word[1]) + (words.count > 2 ? " ..." : "")
                     : ""));
        }
        value = *number;
    }
    if (const std::string why = order_error(found->kind); !why.empty()) {
        return fail(why);
    }
    event = RecordedEvent{found->kind, value, line_number_};
    return {};
}

std::string RecordingReader::finish() const {
    if (line_number_ == 0) {
        return "line 1: empty, not a recording";
    }
    if (stage_ == Stage::seed) {
        return "line " + std::to_string(line_number_ + 1) + ": cut short before the seed";
    }
    return {};
}

RecordingReadResult read_recording(std::string_view text) {
    RecordingReader reader;
    Recording recording;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t end = text.find('\n', position);
        if (end == std::string_view::npos) {
            return failure(reader.lines() + 1, "cut short (the line has no end)");
        }
        std::optional<RecordedEvent> event;
        if (std::string why = reader.read_line(text.substr(position, end - position), event);
            !why.empty()) {
            RecordingReadResult result;
            result.error = std::move(why);
            return result;
        }
        if (event) {
            recording.events.push_back(*event);
        }
        position = end + 1;
    }
    RecordingReadResult result;
    result.error = reader.finish();
    if (result.error.empty()) {
        recording.seed = reader.seed();
        result.recording = std::move(recording);
    }
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
    return std::string(RECORDING_MAGIC) + " " + std::to_string(RECORDING_VERSION_WRITTEN) +
           "\n# replay with: canopy-sim --replay FILE\nseed " + std::to_string(seed) + "\n";
}

const char* recording_word(RecordedEvent::Kind kind) {
    return word_of(kind).word;
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
