// libFuzzer: the terminal capture reader takes any bytes. It either refuses them with one
// line naming the line at fault, or reads a screen that compares with any other without
// crashing, hanging or reading out of bounds (ASan, UBSan).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/capture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CaptureReadResult read = read_capture(text);
    if (!read.capture) {
        if (read.error.rfind("line ", 0) != 0 || read.error.find('\n') != std::string::npos) {
            std::abort();
        }
        return 0;
    }
    if (read.capture->cells.size() != SCREEN_CELLS) {
        std::abort();
    }
    const std::vector<Cell> blank(SCREEN_CELLS, Cell{' ', 0x07});
    if (capture_differences(blank, *read.capture).size() > SCREEN_CELLS) {
        std::abort();
    }
    return 0;
}
