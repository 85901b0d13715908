// libFuzzer: the recording reader takes any bytes. It either refuses them with one line
// naming the line at fault, or reads a recording; it never crashes, hangs or reads out
// of bounds (ASan, UBSan).
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
    return 0;
}
