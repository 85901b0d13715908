// The locked recording file on POSIX systems: flock, which the system lets go of when
// the process ends, however it ends.
#include "util/locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

int fd_of(const LockedFile& file) {
    return static_cast<int>(file.handle);
}

std::string reason() {
    return std::strerror(errno);
}

}  // namespace

PathKind path_kind(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        return PathKind::missing;
    }
    if (S_ISLNK(status.st_mode)) {
        return PathKind::link;
    }
    return S_ISREG(status.st_mode) ? PathKind::regular : PathKind::other;
}

std::string file_create(LockedFile& file, const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return reason();
    }
    file.handle = fd;
    return {};
}

std::string file_open(LockedFile& file, const std::string& path) {
    // Not blocking on a FIFO's missing writer; the file is looked at before it is used.
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return reason();
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return "not a regular file";
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.handle = fd;
    return {};
}

bool file_lock(LockedFile& file) {
    return flock(fd_of(file), LOCK_EX | LOCK_NB) == 0;
}

long file_read(LockedFile& file, char* buffer, std::size_t size) {
    ssize_t got = 0;
    do {
        got = read(fd_of(file), buffer, size);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

std::string file_write(LockedFile& file, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = write(fd_of(file), data, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return put < 0 ? reason() : "the write failed";
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return {};
}

std::string file_write_at(LockedFile& file, std::uint64_t offset, const char* data,
                          std::size_t size) {
    const ssize_t put = pwrite(fd_of(file), data, size, static_cast<off_t>(offset));
    if (put != static_cast<ssize_t>(size)) {
        return put < 0 ? reason() : "the write failed";
    }
    return {};
}

std::string file_cut(LockedFile& file, std::uint64_t size) {
    if (ftruncate(fd_of(file), static_cast<off_t>(size)) != 0 ||
        lseek(fd_of(file), static_cast<off_t>(size), SEEK_SET) < 0) {
        return reason();
    }
    return {};
}

void file_close(LockedFile& file) {
    if (file.handle >= 0) {
        close(fd_of(file));
        file.handle = -1;
    }
}

std::string file_rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? std::string() : reason();
}
