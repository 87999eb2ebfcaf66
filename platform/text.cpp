#include "platform/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

void* VxMalloc(uint32_t size) { return std::malloc(size); }

void VxFree(void* block) { std::free(block); }

void* VxMemset(void* dst, int value, uint32_t count) {
    auto* p = static_cast<unsigned char*>(dst);
    for (uint32_t i = 0; i < count; ++i) p[i] = static_cast<unsigned char>(value);
    return dst;
}

int32_t VxStrLen(const char* text) {
    int32_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

char* VxStrCopy(char* dst, const char* src) {
    while ((*dst = *src) != '\0') {
        ++dst;
        ++src;
    }
    return dst;
}

char* VxStrAppend(char* dst, const char* src) { return VxStrCopy(dst + VxStrLen(dst), src); }

void VxStrCopyN(char* dst, const char* src, uint32_t count) {
    const uint32_t len = static_cast<uint32_t>(VxStrLen(src));
    for (uint32_t i = 0; i < count; ++i) dst[i] = i < len ? src[i] : '\0';
}

int32_t VxStrFind(const char* text, const char* pattern, const char** cursor) {
    const char* p = text;
    *cursor = p;
    while (*p != '\0') {
        if (*p == pattern[0]) {
            int32_t k = 0;
            while (pattern[k] != '\0' && p[k] == pattern[k]) ++k;
            if (pattern[k] == '\0') {
                *cursor = p;
                return static_cast<int32_t>(p - text);
            }
        }
        ++p;
        *cursor = p;
    }
    return -1;
}

void VxSkipSpaces(const char** cursor) {
    while (**cursor == ' ') ++*cursor;
}

int VxParseSign(const char** cursor) {
    if (**cursor == '+') {
        ++*cursor;
        return 1;
    }
    if (**cursor == '-') {
        ++*cursor;
        return 0;
    }
    return 1;
}

namespace {
// Digits after optional blanks, a sign and blanks again, accumulated with
// wrap-around in the width of T.
template <typename T>
T parse_wrapping(const char* text) {
    const char* c = text;
    VxSkipSpaces(&c);
    const int positive = VxParseSign(&c);
    VxSkipSpaces(&c);
    uint32_t acc = 0;  // unsigned: wraps modulo 2^32, and so modulo 2^width
    for (; *c >= '0' && *c <= '9'; ++c) {
        const uint32_t digit = static_cast<uint32_t>(*c - '0');
        acc = positive ? acc * 10u + digit : acc * 10u - digit;
    }
    using U = std::make_unsigned_t<T>;
    return static_cast<T>(static_cast<U>(acc));
}
}  // namespace

void VxParseUInt8(const char* text, uint8_t* result) { *result = parse_wrapping<uint8_t>(text); }

void VxParseInt16(const char* text, int16_t* result) { *result = parse_wrapping<int16_t>(text); }

int VxStrCopyZ(char* dst, const char* src, size_t size) {
    size_t i = 0;
    for (; i + 1 < size && src[i] != '\0'; ++i) dst[i] = src[i];
    dst[i] = '\0';
    return src[i] == '\0';
}

int VxStrAppendZ(char* dst, const char* src, size_t size) {
    const size_t used = strnlen(dst, size);
    if (used >= size) return 0;
    return VxStrCopyZ(dst + used, src, size - used);
}

int VxFormat(char* dst, size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(dst, size, fmt, ap);
    va_end(ap);
    return n >= 0 && static_cast<size_t>(n) < size;
}

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

int utf8_copy_field(char* dst, const char* src, size_t size) {
    const size_t n = utf8_prefix_len(src, size - 1);
    std::memcpy(dst, src, n);
    std::memset(dst + n, 0, size - n);
    return src[n] == '\0';
}

uint16_t atoi_u16(const char* text) {
    const char* c = text;
    while (*c == ' ' || (*c >= '\t' && *c <= '\r')) ++c;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    long long acc = 0;
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    for (; *c >= '0' && *c <= '9'; ++c) {
        acc = acc * 10 + (*c - '0');
        if (acc > limit) acc = limit;
    }
    const long long value = negative ? -acc : acc;
    return static_cast<uint16_t>(static_cast<unsigned long long>(value) & 0xFFFFu);
}

uint32_t fnv1a32(const char* data, size_t len) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < len; ++i) {
        h ^= static_cast<unsigned char>(data[i]);
        h *= 16777619u;
    }
    return h;
}
