// Directory handles, whole-file reads and the removal of cached files.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <memory>

struct VxDirectory {
    DIR* stream;
};

// 1 with *out set, -1 when the directory cannot be opened.
int VxOpenDirectory(const char* path, VxDirectory** out);
// 1 when closed and released, -2 when closedir fails (the handle is kept).
int VxCloseDirectory(VxDirectory* dir);
// 1 when created (mode 0744), 0 otherwise with errno from mkdir.
int VxFileMkdir(const char* path);

// The whole file in one heap buffer, *length bytes long (must be 0 on entry),
// followed by one zero byte that the length does not count. Null when the
// file cannot be opened or read, is not a regular file reached without a
// symbolic link, or holds more than `max` bytes.
char* read_file(const char* path, uint32_t* length, uint32_t max = UINT32_MAX);
// Releases the buffer and sets the caller's pointer to null; always 1.
int free_file(char** buffer);

// Is there a cached copy to reuse? Reads up to 10 bytes of a regular file
// reached without a symbolic link: true when it has at least one and no
// more than `cap` (the download cap of its kind: a longer file never came
// from a download). An empty, unreadable or oversized file is removed, to be
// fetched anew; anything else at the name (a link, a FIFO, a directory) is
// left for the download to clear.
bool cached_file_usable(const char* path, uint32_t cap);

// Removes one file; a missing file is not an error. No shell is involved.
void remove_file(const char* path);

// Files of the disk and the cache are opened without following a symbolic
// link at the last step and without blocking on a FIFO, and used only when
// they are regular files: a prepared disk cannot make the program read a
// device, hang on a FIFO, or read or write a file elsewhere.
//
// Opens an existing regular file for reading: a descriptor, or -1 (errno
// ELOOP for a link, EINVAL for anything else that is not a regular file).
int open_regular(const char* path);
// The same as a stdio stream (mode "r"); null on failure.
FILE* fopen_regular(const char* path);
// Creates a new file for writing beside `final_path`: its name is
// `final_path`, ".tmp" and hex digits (at most kTempSuffixMax bytes more),
// never an existing name or a link (a name already taken is skipped for
// another). The descriptor, with the name in `tmp`, or -1.
inline constexpr size_t kTempSuffixMax = 12;
int create_temp(char* tmp, size_t size, const char* final_path);
// Does `name` look like one of create_temp's names (".tmp" and hex digits
// at its end)? Cache and answer names never do.
bool is_temp_name(const char* name);
// Frees a name for a new file: removes whatever stands there (a file, a
// link, a FIFO, an empty directory). 1 when the name is free.
int clear_name(const char* path);
// Removes every regular file directly in `dir` whose name ends in `suffix`;
// subdirectories and their contents are left alone.
void remove_files_with_suffix(const char* dir, const char* suffix);

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// An output file written beside its final name and renamed into place, so
// readers (and a second run at the same time) see either the whole new file
// or none. The temporary file is created new (create_temp).
struct AtomicFile {
    FILE* file;
    char tmp_path[112 + kTempSuffixMax];
    char final_path[112];
};

// Opens the temporary file; 0 when it cannot be created.
int atomic_open(AtomicFile* af, const char* final_path);
// Checks the stream, closes it and renames it into place; on any failure the
// temporary file is removed and 0 returned.
int atomic_commit(AtomicFile* af);
// Closes and removes the temporary file.
void atomic_abort(AtomicFile* af);
