// A regular file read whole into one heap buffer: the playlist parser's
// input (read_file, as the firmware traces it) and a directory page's.
#pragma once

#include <cstddef>
#include <cstdint>

// The whole file open on `fd`, *length bytes, followed by 1 + `padding` zero
// bytes. Null when it holds more than `max` bytes, grows while it is read
// (it is read only up to one byte past its size), or cannot be read. Quiet.
char* read_whole(int fd, uint32_t max, size_t padding, size_t* length);

// The whole file `name` in the directory `dir` (AT_FDCWD: a path), *length
// bytes long, followed by one zero byte that the length does not count. Null
// when the file cannot be opened or read, is not a regular file reached
// without a symbolic link, or holds more than `max` bytes.
char* read_file(int dir, const char* name, uint32_t* length, uint32_t max = UINT32_MAX);
// Releases the buffer and sets the caller's pointer to null; always 1.
int free_file(char** buffer);
