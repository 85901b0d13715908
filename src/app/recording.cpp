#include "app/recording.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/recording_format.h"
#include "terminal/keyboard.h"

namespace {

std::FILE* file = nullptr;
std::string file_path;
bool file_created = false;  // by this process: it may remove the file again
long frames_written = 0;
std::uintmax_t bytes_written = 0;  // in whole lines
std::string failure;               // the first write that did not reach the file, as a message
std::string write_error;           // and the system's reason alone

std::string why_not(int error) {
    return "cannot record to '" + file_path + "': " + std::strerror(error);
}

// One write and one flush per line: a line on its own reaches the file whole, and
// nothing waits in a buffer for an exit that a signal may never let happen.
void write_text(const std::string& text) {
    if (file == nullptr) {
        return;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0) {
        bytes_written += text.size();
        return;
    }
    write_error = errno != 0 ? std::strerror(errno) : "the write failed";
    failure = "the recording '" + file_path + "' is incomplete: it stops after frame " +
              std::to_string(frames_written) + " (" + write_error + ")";
    std::fclose(file);
    file = nullptr;
    after_key_wait = nullptr;
    // Part of the line may have reached the disk: cut it off, so that what is there
    // still replays (a device such as /dev/full cannot be cut, and has nothing to cut).
    std::error_code ignored;
    std::filesystem::resize_file(file_path, bytes_written, ignored);
}

void write_event(RecordedEvent::Kind kind, std::uint32_t value) {
    if (file != nullptr) {
        write_text(recording_line(kind, value));
    }
}

void record_wait(std::int32_t key) {
    write_event(RecordedEvent::Kind::wait, static_cast<std::uint32_t>(key));
}

}  // namespace

std::string open_recording(const std::string& path, bool replace, std::uint32_t seed) {
    file_path = path;
    failure.clear();
    frames_written = 0;
    bytes_written = 0;
    errno = 0;
#ifdef _WIN32
    // The Windows C library ignores "x" and would truncate the file: look first.
    std::error_code ignored;
    const bool exists = std::filesystem::exists(path, ignored);
    errno = exists ? EEXIST : 0;
    file = exists ? nullptr : std::fopen(path.c_str(), "wb");
#else
    file = std::fopen(path.c_str(), "wbx");  // created here, or refused: never truncated
#endif
    file_created = file != nullptr;
    if (file == nullptr && errno == EEXIST) {
        if (!replace) {
            return "cannot record to '" + path + "': it exists already (--force replaces it)";
        }
        errno = 0;
        file = std::fopen(path.c_str(), "wb");
    }
    if (file == nullptr) {
        return why_not(errno);
    }
    // The header goes out now, so a path that takes no writes (a full disk, /dev/full)
    // is refused before the terminal is touched.
    write_text(recording_header(seed));
    if (file == nullptr) {
        failure.clear();
        if (file_created) {
            std::remove(path.c_str());
        }
        return "cannot record to '" + path + "': " + write_error;
    }
    after_key_wait = record_wait;
    return {};
}

void discard_recording() {
    if (file == nullptr) {
        return;
    }
    std::fclose(file);
    file = nullptr;
    after_key_wait = nullptr;
    if (file_created) {
        std::remove(file_path.c_str());
    }
}

void record_start(std::uint32_t tick) {
    write_event(RecordedEvent::Kind::start, tick);
}

void record_frame(std::uint32_t tick) {
    write_event(RecordedEvent::Kind::frame, tick);
    if (file != nullptr) {
        ++frames_written;
    }
}

void record_held() {
    write_event(RecordedEvent::Kind::held, 0);
}

void record_key(std::int32_t key) {
    write_event(RecordedEvent::Kind::key, static_cast<std::uint32_t>(key));
}

std::string end_recording() {
    if (file != nullptr) {
        after_key_wait = nullptr;
        errno = 0;
        if (std::fclose(file) != 0 && failure.empty()) {
            failure = "the recording '" + file_path + "' may be incomplete: " +
                      (errno != 0 ? std::strerror(errno) : "closing it failed");
        }
        file = nullptr;
    }
    std::string why = std::move(failure);
    failure.clear();
    return why;
}

void finish_recording() {
    const std::string why = end_recording();
    if (!why.empty()) {
        std::fprintf(stderr, "canopy-hollow: %s\n", why.c_str());
        std::fflush(nullptr);
        std::_Exit(1);  // a lost recording is a failure, even after the player's "y"
    }
}
