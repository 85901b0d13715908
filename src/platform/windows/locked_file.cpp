// The locked recording file on Windows: LockFileEx on one byte far past any recording's
// end, so that other programs still read the file while a game holds it; Windows lets
// go of the lock when the process ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "util/locked_file.h"

namespace {

HANDLE handle_of(const LockedFile& file) {
    return reinterpret_cast<HANDLE>(file.handle);
}

// The system's reason, in the words the C library uses on other systems.
std::string reason() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "No such file or directory";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return "File exists";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return "Permission denied";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "No space left on device";
        default:
            return "Windows error " + std::to_string(GetLastError());
    }
}

constexpr DWORD SHARED = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string open_as(LockedFile& file, const std::string& path, DWORD how) {
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, SHARED, nullptr,
                                      how, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return reason();
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return "not a regular file";
    }
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    return {};
}

}  // namespace

PathKind path_kind(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::missing;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return PathKind::link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::other : PathKind::regular;
}

std::string file_create(LockedFile& file, const std::string& path) {
    return open_as(file, path, CREATE_NEW);
}

std::string file_open(LockedFile& file, const std::string& path) {
    return open_as(file, path, OPEN_EXISTING);
}

bool file_lock(LockedFile& file) {
    OVERLAPPED far_past_the_end{};
    far_past_the_end.Offset = 0xFFFFFFFE;
    far_past_the_end.OffsetHigh = 0x7FFFFFFF;
    return LockFileEx(handle_of(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &far_past_the_end) != 0;
}

long file_read(LockedFile& file, char* buffer, std::size_t size) {
    DWORD got = 0;
    if (ReadFile(handle_of(file), buffer, static_cast<DWORD>(size), &got, nullptr) == 0) {
        return -1;
    }
    return static_cast<long>(got);
}

std::string file_write(LockedFile& file, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD put = 0;
        if (WriteFile(handle_of(file), data, static_cast<DWORD>(size), &put, nullptr) == 0 ||
            put == 0) {
            return reason();
        }
        data += put;
        size -= put;
    }
    return {};
}

std::string file_write_at(LockedFile& file, std::uint64_t offset, const char* data,
                          std::size_t size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD put = 0;
    if (WriteFile(handle_of(file), data, static_cast<DWORD>(size), &put, &at) == 0 || put != size) {
        return reason();
    }
    return {};
}

std::string file_cut(LockedFile& file, std::uint64_t size) {
    LARGE_INTEGER where{};
    where.QuadPart = static_cast<LONGLONG>(size);
    if (SetFilePointerEx(handle_of(file), where, nullptr, FILE_BEGIN) == 0 ||
        SetEndOfFile(handle_of(file)) == 0) {
        return reason();
    }
    return {};
}

void file_close(LockedFile& file) {
    if (file.handle != -1) {
        CloseHandle(handle_of(file));
        file.handle = -1;
    }
}

std::string file_rename(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0 ? std::string()
                                                                                 : reason();
}
