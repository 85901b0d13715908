#include "util/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

std::string read_input_file(const std::string& path, const InputKind& kind, std::string& text) {
    // A FIFO would block the open and a device never ends: only regular files are read.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) {
        return error.message();
    }
    if (std::filesystem::is_directory(status)) {
        return std::strerror(EISDIR);
    }
    if (!std::filesystem::is_regular_file(status)) {
        return std::string("not a regular file, so not a ") + kind.what;
    }
    const std::string too_large =
        std::string("larger than any ") + kind.what + " (over " + kind.limit_text + ")";
    if (std::filesystem::file_size(path, error) > kind.limit && !error) {
        return too_large;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    text.clear();
    char buffer[65536];
    std::size_t got = 0;
    while (text.size() <= kind.limit && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int read_error = errno;
    std::fclose(file);
    if (failed) {
        return std::strerror(read_error);
    }
    if (text.size() > kind.limit) {
        text.clear();
        return too_large;  // it grew while it was read
    }
    return {};
}
