// Reading a whole file that comes from outside (a recording, a key script, a capture),
// with a bound on its size far above any real one, so that a wrong file (a device, a
// huge file, one that grows while it is read) is refused before it takes the memory.
#pragma once

#include <cstdint>
#include <string>

struct InputKind {
    const char* what;      // "recording", for messages
    std::uintmax_t limit;  // bytes
    const char* limit_text;
};
// A recording grows about 1.5 MB an hour of play, so its bound holds over three days of
// it; a replay holds about four times its recording's size.
constexpr InputKind RECORDING_FILE = {"recording", std::uintmax_t{128} << 20, "128 MB"};

// Reads the regular file at `path` whole into `text`. Returns an empty string, or one
// line saying why not (without the path): a directory, a FIFO or a device is refused
// without being opened, and a file over the kind's limit before it is read.
std::string read_input_file(const std::string& path, const InputKind& kind, std::string& text);
