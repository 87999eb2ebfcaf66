// Text and number routines used throughout the program in place of the C
// library's own. Texts are zero-terminated byte strings; nothing here knows
// about encodings (utf8.h does) or case.
#pragma once

#include <cstddef>
#include <cstdint>

// Offset of the first occurrence of `pattern` in `text`, the cursor at the
// match; -1 with the cursor at the terminator when there is none. An empty
// pattern never matches.
int32_t VxStrFind(const char* text, const char* pattern, const char** cursor);
// Blanks, an optional sign, blanks, then decimal digits, accumulated with
// wrap-around in the result's width. A text without digits gives 0.
void VxParseUInt8(const char* text, uint8_t* result);
void VxParseInt16(const char* text, int16_t* result);

// Bounded copies: `dst` stays zero-terminated within `size` bytes (size > 0);
// true when the whole text fitted, false when it was cut.
bool copy_text(char* dst, const char* src, size_t size);
bool append_text(char* dst, const char* src, size_t size);
bool format_text(char* dst, size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// Does `text` end in `ending`, with at least one byte before it?
bool ends_with(const char* text, const char* ending);

// The C library's atoi as the device computes it (32-bit long: values beyond
// its range saturate), kept in 16 bits.
uint16_t atoi_u16(const char* text);

// 32-bit FNV-1a of the first `len` bytes: cache names and check values.
uint32_t fnv1a32(const char* data, size_t len);
