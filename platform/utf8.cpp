#include "platform/utf8.h"

#include <cstring>

size_t utf8_prefix_len(const char* text, size_t max) {
    size_t len = strnlen(text, max);
    if (len < max || text[len] == '\0') return len;  // nothing cut
    // The cut falls before text[len]: step back over continuation bytes to
    // the start of the sequence holding text[len], if it is one.
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t start = len;
    while (start > 0 && len - start < 3 && (s[start] & 0xC0) == 0x80) --start;
    if (start == len) return len;  // text[len] begins a character
    const unsigned char lead = s[start];
    size_t need = 0;
    if (lead >= 0xC2 && lead <= 0xDF) need = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) need = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) need = 4;
    // A lead byte whose sequence runs past the cut: drop the whole sequence.
    if (need != 0 && start + need > len) return start;
    return len;
}

bool utf8_copy_field(char* dst, const char* src, size_t size) {
    const size_t n = utf8_prefix_len(src, size - 1);
    std::memcpy(dst, src, n);
    std::memset(dst + n, 0, size - n);
    return src[n] == '\0';
}
