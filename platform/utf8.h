// Cutting texts from the network to a field without splitting a UTF-8
// character. Bytes that are not valid UTF-8 count as single characters.
#pragma once

#include <cstddef>

// Length of the longest prefix of `text` of at most `max` bytes that does not
// end inside a UTF-8 sequence.
size_t utf8_prefix_len(const char* text, size_t max);
// Copies at most size - 1 bytes of `src`, cut on a UTF-8 character boundary,
// and zero-fills the rest of the field. True when the whole source fitted.
bool utf8_copy_field(char* dst, const char* src, size_t size);
