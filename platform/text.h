// Memory, text and number routines used throughout the program in place of
// the C library's own. Texts are zero-terminated byte strings; nothing here
// knows about encodings or case.
//
// VxStrCopy, VxStrAppend and VxMemset write without a bound: callers size
// their buffers. New code should prefer the bounded forms below them
// (VxStrCopyZ, VxStrAppendZ, VxFormat), which never write past `size` bytes.
#pragma once

#include <cstddef>
#include <cstdint>

void* VxMalloc(uint32_t size);
void VxFree(void* block);
void* VxMemset(void* dst, int value, uint32_t count);
int32_t VxStrLen(const char* text);
char* VxStrCopy(char* dst, const char* src);
char* VxStrAppend(char* dst, const char* src);
// Writes exactly `count` bytes: the source's bytes while any are left, then
// zero bytes. A source of `count` or more bytes leaves no terminator.
void VxStrCopyN(char* dst, const char* src, uint32_t count);
// Offset of the first occurrence of `pattern` in `text`, the cursor at the
// match; -1 with the cursor at the terminator when there is none. An empty
// pattern never matches.
int32_t VxStrFind(const char* text, const char* pattern, const char** cursor);
void VxSkipSpaces(const char** cursor);
int VxParseSign(const char** cursor);
void VxParseUInt8(const char* text, uint8_t* result);
void VxParseInt16(const char* text, int16_t* result);

// Bounded forms. Each keeps `dst` zero-terminated within `size` bytes
// (size > 0) and returns 1 when the whole source fitted, 0 when it was cut.
int VxStrCopyZ(char* dst, const char* src, size_t size);
int VxStrAppendZ(char* dst, const char* src, size_t size);
int VxFormat(char* dst, size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// Length of the longest prefix of `text` of at most `max` bytes that does not
// end inside a UTF-8 sequence. Bytes that are not valid UTF-8 count as
// single characters.
size_t utf8_prefix_len(const char* text, size_t max);
// Copies at most size - 1 bytes of `src`, cut on a UTF-8 character boundary,
// and zero-fills the rest of the field. Returns 1 when the whole source fitted.
int utf8_copy_field(char* dst, const char* src, size_t size);

// The C library's atoi as the device computes it (32-bit long: values beyond
// its range saturate), kept in 16 bits.
uint16_t atoi_u16(const char* text);

// 32-bit FNV-1a of the first `len` bytes.
uint32_t fnv1a32(const char* data, size_t len);
