// Opening, creating and removing files on a disk that anyone may prepare:
// nothing here follows a symbolic link at the last step, blocks on a FIFO,
// reads a device, or starts a shell. Each file is named relative to a
// directory descriptor (`dir`): the storage root's, or AT_FDCWD for a path.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <memory>

// Opens an existing regular file for reading: a descriptor, or -1 (errno
// ELOOP for a link, EINVAL for anything else that is not a regular file).
int open_regular(int dir, const char* name);
// The same for a path, as a stdio stream (mode "r"); null on failure.
FILE* fopen_regular(const char* path);

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Creates a new file for writing beside `final_name`: its name is
// `final_name`, ".tmp" and 8 hex digits (kTempSuffixMax bytes more), never
// an existing name or a link (a name already taken is skipped for another).
// The descriptor, with the name in `tmp`, or -1.
inline constexpr size_t kTempSuffixMax = 12;
int create_temp(int dir, char* tmp, size_t size, const char* final_name);
// Does `name` look like one of create_temp's names? Cache and answer names
// never do.
bool is_temp_name(const char* name);

// Removes one file (not a directory); a missing file is not an error.
void remove_file(int dir, const char* name);
// Frees a name for a new file: removes whatever stands there, a directory
// with its contents (none of its links followed, at most kClearDepth levels
// deep). True when the name is free.
inline constexpr int kClearDepth = 16;
bool clear_name(int dir, const char* name);
// Calls `f` with each name in the directory open on `dir` (read through a
// descriptor of its own, so `dir` stays as it was); nothing when it cannot
// be read.
template <typename F>
void for_each_name(int dir, F f) {
    const int fd = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = fd >= 0 ? fdopendir(fd) : nullptr;
    if (d == nullptr) {
        if (fd >= 0) close(fd);
        return;
    }
    while (const dirent* e = readdir(d)) f(e->d_name);
    closedir(d);
}
// Removes every regular file directly in `dir` whose name ends in `suffix`;
// links, subdirectories and their contents are left alone.
void remove_files_with_suffix(int dir, const char* suffix);
