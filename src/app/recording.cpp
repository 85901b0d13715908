#include "app/recording.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/recording_format.h"
#include "app/replay.h"
#include "terminal/keyboard.h"
#include "util/locked_file.h"

namespace {

// No line the game writes comes near this; a longer one is no recording's.
constexpr std::size_t LONGEST_LINE = 4096;

LockedFile file;
std::string file_path;
std::string replacement;    // the new file, beside the one it replaces until the game starts
bool file_created = false;  // by this process: it may remove the file again
bool writing = false;
long frames_written = 0;
std::uint64_t bytes_written = 0;  // in whole lines
std::string failure;              // the first write that did not reach the file, as a message
std::string write_error;          // and the system's reason alone
std::string dropped;              // a cut line dropped before the game went on, as a message

// Lines go out one write each, whole or not at all: a write that fails part way is cut
// back to the last whole line, so that what is there still replays.
void write_text(const std::string& text) {
    if (!writing) {
        return;
    }
    const std::string why = file_write(file, text.data(), text.size());
    if (why.empty()) {
        bytes_written += text.size();
        return;
    }
    write_error = why;
    failure = "the recording '" + file_path + "' is incomplete: it stops after frame " +
              std::to_string(frames_written) + " (" + why + ")";
    file_cut(file, bytes_written);
    writing = false;
    after_key_wait = nullptr;
}

void write_event(RecordedEvent::Kind kind, std::uint32_t value) {
    if (writing) {
        write_text(recording_line(kind, value));
    }
}

void record_wait(std::int32_t key) {
    write_event(RecordedEvent::Kind::wait, static_cast<std::uint32_t>(key));
}

void start_over(const std::string& path) {
    file_close(file);
    file_path = path;
    replacement.clear();
    file_created = writing = false;
    failure.clear();
    dropped.clear();
    frames_written = 0;
    bytes_written = 0;
}

// Whether an existing file starts as a recording does, for the refusal's advice.
bool holds_recording(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        return false;
    }
    char start[sizeof RECORDING_MAGIC] = {};
    const bool is = std::fread(start, 1, sizeof start - 1, in) == sizeof start - 1 &&
                    std::string(start) == RECORDING_MAGIC;
    std::fclose(in);
    return is;
}

// The lines of a resumed recording, read as the replay asks for them.
class FileEvents : public RecordedEvents {
  public:
    bool next(RecordedEvent& event) override {
        for (;;) {
            std::optional<RecordedEvent> found;
            if (!next_line()) {
                if (const std::string why = reader_.finish(); !why.empty()) {
                    throw ReplayError{why};
                }
                return false;
            }
            if (std::string why = reader_.read_line(line_, found); !why.empty()) {
                throw ReplayError{std::move(why)};
            }
            if (found) {
                event = *found;
                return true;
            }
        }
    }
    // Reads the lines before the first event: the format and the seed.
    std::string read_seed() {
        while (!reader_.has_seed()) {
            if (!next_line()) {
                return reader_.finish();  // it stops before the seed
            }
            std::optional<RecordedEvent> none;
            if (std::string why = reader_.read_line(line_, none); !why.empty()) {
                return why;
            }
            if (reader_.lines() == 1) {
                const std::size_t at = line_.find_first_not_of(
                    " \t", line_.find(RECORDING_MAGIC) + sizeof RECORDING_MAGIC - 1);
                const std::size_t end = line_.find_first_not_of("0123456789", at);
                version_word_ = {at, (end == std::string::npos ? line_.size() : end) - at};
            }
        }
        return {};
    }
    std::uint32_t seed() const { return reader_.seed(); }
    std::uint32_t version() const { return reader_.version(); }
    // Where the header's version number stands, and its length.
    std::pair<std::size_t, std::size_t> version_word() const { return version_word_; }
    std::uint64_t whole_lines_end() const { return whole_; }
    bool cut_line() const { return cut_; }
    void restart() { *this = FileEvents(); }

  private:
    bool next_line() {
        for (;;) {
            const std::size_t end = buffer_.find('\n', start_);
            if (end != std::string::npos) {
                line_.assign(buffer_, start_, end - start_);
                whole_ += end + 1 - start_;
                start_ = end + 1;
                return true;
            }
            buffer_.erase(0, start_);
            start_ = 0;
            if (buffer_.size() > LONGEST_LINE) {
                throw ReplayError{"line " + std::to_string(reader_.lines() + 1) +
                                  ": too long for a recording's line"};
            }
            char chunk[65536];
            const long got = file_read(file, chunk, sizeof chunk);
            if (got <= 0) {
                if (got < 0) {
                    throw ReplayError{"line " + std::to_string(reader_.lines() + 1) +
                                      ": the file cannot be read"};
                }
                cut_ = !buffer_.empty();  // a crash stopped the last line part way
                return false;
            }
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
    }

    RecordingReader reader_;
    std::string buffer_;
    std::size_t start_ = 0;
    std::string line_;
    std::uint64_t whole_ = 0;  // bytes up to the end of the last whole line read
    bool cut_ = false;
    std::pair<std::size_t, std::size_t> version_word_{0, 0};
};
FileEvents resumed;

}  // namespace

std::string open_recording(const std::string& path, bool replace, std::uint32_t seed) {
    start_over(path);
    const std::string refused = "cannot record to '" + path + "': ";
    const PathKind kind = path_kind(path);
    if (kind != PathKind::missing && !replace) {
        return refused + (holds_recording(path) ? "it holds a recorded game (--resume " + path +
                                                      " goes on with it, --force replaces it)"
                                                : "it exists already (--force replaces it)");
    }
    if (kind == PathKind::other) {
        return refused + "--force replaces only a file or a link, and this is neither";
    }
    if (kind == PathKind::regular) {
        LockedFile old;
        const bool held = file_open(old, path).empty() && !file_lock(old);
        file_close(old);
        if (held) {
            return refused + "another game is playing it";
        }
    }
    // What is replaced stays until the game has its terminal: the new file waits beside it.
    const std::string where = kind == PathKind::missing ? path : path + ".canopy-new";
    if (kind != PathKind::missing) {
        std::remove(where.c_str());  // left by a game that never reached its terminal
    }
    if (std::string why = file_create(file, where); !why.empty()) {
        return refused + why;
    }
    file_lock(file);
    file_created = kind == PathKind::missing;
    replacement = kind == PathKind::missing ? "" : where;
    writing = true;
    write_text(recording_header(seed));
    if (!writing) {
        // The header went nowhere: a path that takes no writes is refused before play.
        discard_recording();
        failure.clear();
        return refused + write_error;
    }
    after_key_wait = record_wait;
    return {};
}

void recording_takes_place() {
    if (replacement.empty()) {
        return;
    }
    if (const std::string why = file_rename(replacement, file_path); !why.empty()) {
        failure = "the recording is in '" + replacement + "': it could not replace '" + file_path +
                  "' (" + why + ")";
    }
    replacement.clear();
}

void discard_recording() {
    const bool remove = file.handle != -1 && (file_created || !replacement.empty());
    file_close(file);
    writing = false;
    after_key_wait = nullptr;
    if (remove) {
        std::remove((replacement.empty() ? file_path : replacement).c_str());
    }
}

std::string open_resumed_recording(const std::string& path, std::uint32_t& seed, int& status) {
    start_over(path);
    resumed.restart();
    const std::string refused = "cannot resume '" + path + "': ";
    status = 1;
    if (const std::string why = file_open(file, path); !why.empty()) {
        status = why == "not a regular file" ? 2 : 1;
        return refused + why;
    }
    if (!file_lock(file)) {
        file_close(file);
        return refused + "another game is playing it";
    }
    std::string why;
    try {
        why = resumed.read_seed();
    } catch (const ReplayError& error) {
        why = error.message;
    }
    if (!why.empty()) {
        file_close(file);
        status = 2;
        return refused + why;
    }
    seed = resumed.seed();
    return {};
}

RecordedEvents& resumed_events() {
    return resumed;
}

void continue_recording() {
    bytes_written = resumed.whole_lines_end();
    std::string why;
    if (resumed.version() < RECORDING_VERSION) {
        // A reader of the older version would misplay a new sitting: it refuses it now.
        const auto [at, length] = resumed.version_word();
        const std::string version =
            std::string(length - 1, '0') + std::to_string(RECORDING_VERSION);
        why = file_write_at(file, at, version.data(), version.size());
    }
    if (why.empty()) {
        why = file_cut(file, bytes_written);
    }
    if (!why.empty()) {
        failure = "the recording '" + file_path + "' was not continued (" + why + ")";
        return;
    }
    if (resumed.cut_line()) {
        dropped = "the last line of '" + file_path + "' was cut short; it is dropped";
    }
    writing = true;
    after_key_wait = record_wait;
}

void record_start(std::uint32_t tick) {
    write_event(RecordedEvent::Kind::start, tick);
}

void record_frame(std::uint32_t tick) {
    write_event(RecordedEvent::Kind::frame, tick);
    if (writing) {
        ++frames_written;
    }
}

void record_held() {
    write_event(RecordedEvent::Kind::held, 0);
}

void record_key(std::int32_t key) {
    write_event(RecordedEvent::Kind::key, static_cast<std::uint32_t>(key));
}

void record_sitting(std::uint32_t tick) {
    write_event(RecordedEvent::Kind::resume, tick);
}

std::string end_recording() {
    file_close(file);
    writing = false;
    after_key_wait = nullptr;
    std::string why = std::move(failure);
    failure.clear();
    return why;
}

void finish_recording() {
    const std::string why = end_recording();
    if (!dropped.empty()) {
        std::fprintf(stderr, "canopy-hollow: %s\n", dropped.c_str());
    }
    if (!why.empty()) {
        std::fprintf(stderr, "canopy-hollow: %s\n", why.c_str());
        std::fflush(nullptr);
        std::_Exit(1);  // a lost recording is a failure, even after the player's "y"
    }
}
