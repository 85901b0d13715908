// libFuzzer: the recording reader takes any bytes. It either refuses them with one line
// naming the line at fault, or reads a recording that, written out again, reads back the
// same; it never crashes, hangs or reads out of bounds (ASan, UBSan).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/recording_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const RecordingReadResult read = read_recording(text);
    if (!read.recording) {
        if (read.error.rfind("line ", 0) != 0 || read.error.find('\n') != std::string::npos) {
            std::abort();
        }
        return 0;
    }
    if (!read.error.empty()) {
        std::abort();
    }
    const std::string written = recording_text(*read.recording);
    const RecordingReadResult again = read_recording(written);
    if (!again.recording || again.recording->seed != read.recording->seed ||
        again.recording->events.size() != read.recording->events.size() ||
        recording_text(*again.recording) != written) {
        std::abort();
    }
    return 0;
}
