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
// file cannot be opened or read.
char* read_file(const char* path, uint32_t* length);
// Releases the buffer and sets the caller's pointer to null; always 1.
int free_file(char** buffer);

// Is there a cached copy to reuse? Reads up to 10 bytes: true when the file
// has at least one. An empty or unreadable file is removed, to be fetched anew.
bool cached_file_usable(const char* path);

// Removes one file; a missing file is not an error. No shell is involved.
void remove_file(const char* path);
// Removes every regular file directly in `dir` whose name ends in `suffix`;
// subdirectories and their contents are left alone.
void remove_files_with_suffix(const char* dir, const char* suffix);

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// An output file written beside its final name and renamed into place, so
// readers (and a second run at the same time) see either the whole new file
// or none. The temporary name carries the process id.
struct AtomicFile {
    FILE* file;
    char tmp_path[128];
    char final_path[112];
};

// Opens the temporary file; 0 when it cannot be created.
int atomic_open(AtomicFile* af, const char* final_path);
// Checks the stream, closes it and renames it into place; on any failure the
// temporary file is removed and 0 returned.
int atomic_commit(AtomicFile* af);
// Closes and removes the temporary file.
void atomic_abort(AtomicFile* af);
