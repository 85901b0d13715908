// A recording's file as one game holds it: opened without following a link or creating
// what should not be created, locked against a second game for as long as it is open
// (the lock goes with the process, so a game that died holds nothing), and written a
// whole line at a time. The system's part lives in one file per system: this folder's
// for POSIX systems, platform/windows/ for Windows. Errors are the system's reason as one
// phrase ("No such file or directory"); an empty string is success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct LockedFile {
    std::intptr_t handle = -1;  // -1: not open
};

// What stands at a path: a link is a link, whatever it points at, or nothing.
enum class PathKind { missing, regular, link, other };
PathKind path_kind(const std::string& path);

// Creates a new file for reading and writing, never one that exists (nor the target of
// a link standing there).
std::string file_create(LockedFile& file, const std::string& path);
// Opens an existing regular file for reading and writing; anything else is refused.
std::string file_open(LockedFile& file, const std::string& path);
// Takes the file for this game; false when another game holds it.
bool file_lock(LockedFile& file);
// Reads on from the current position: the bytes read, 0 at the end, -1 on an error.
long file_read(LockedFile& file, char* buffer, std::size_t size);
// Writes all of it at the current position, or says why not (part may be written).
std::string file_write(LockedFile& file, const char* data, std::size_t size);
// Writes over part of the file, wherever the writing stands.
std::string file_write_at(LockedFile& file, std::uint64_t offset, const char* data,
                          std::size_t size);
// Cuts the file to `size` bytes; writing goes on from there.
std::string file_cut(LockedFile& file, std::uint64_t size);
void file_close(LockedFile& file);
// Puts the file `from` in place of `to`; a link at `to` is replaced, never followed.
std::string file_rename(const std::string& from, const std::string& to);
