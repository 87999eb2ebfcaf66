// A file read whole into one heap buffer (the playlist parser's input).
#pragma once

#include <cstdint>

// The whole file, *length bytes long (must be 0 on entry), followed by one
// zero byte that the length does not count. Null when the file cannot be
// opened or read, is not a regular file reached without a symbolic link, or
// holds more than `max` bytes.
char* read_file(const char* path, uint32_t* length, uint32_t max = UINT32_MAX);
// Releases the buffer and sets the caller's pointer to null; always 1.
int free_file(char** buffer);
