#include "platform/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <type_traits>

int32_t VxStrFind(const char* text, const char* pattern, const char** cursor) {
    const char* p = text;
    for (; *p != '\0'; ++p) {
        int32_t k = 0;
        while (pattern[k] != '\0' && p[k] == pattern[k]) ++k;
        if (k > 0 && pattern[k] == '\0') {
            *cursor = p;
            return static_cast<int32_t>(p - text);
        }
    }
    *cursor = p;
    return -1;
}

namespace {
// Computed in 32 bits, which wrap modulo 2^32 and so modulo 2^width of T.
template <typename T>
T parse_wrapping(const char* c) {
    while (*c == ' ') ++c;
    const bool negative = *c == '-';
    if (*c == '+' || *c == '-') ++c;
    while (*c == ' ') ++c;
    uint32_t acc = 0;
    for (; *c >= '0' && *c <= '9'; ++c) {
        const uint32_t digit = static_cast<uint32_t>(*c - '0');
        acc = negative ? acc * 10u - digit : acc * 10u + digit;
    }
    return static_cast<T>(static_cast<std::make_unsigned_t<T>>(acc));
}
}  // namespace

void VxParseUInt8(const char* text, uint8_t* result) { *result = parse_wrapping<uint8_t>(text); }

void VxParseInt16(const char* text, int16_t* result) { *result = parse_wrapping<int16_t>(text); }

bool copy_text(char* dst, const char* src, size_t size) {
    size_t i = 0;
    for (; i + 1 < size && src[i] != '\0'; ++i) dst[i] = src[i];
    dst[i] = '\0';
    return src[i] == '\0';
}

bool append_text(char* dst, const char* src, size_t size) {
    const size_t used = strnlen(dst, size);
    return used < size && copy_text(dst + used, src, size - used);
}

bool format_text(char* dst, size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(dst, size, fmt, ap);
    va_end(ap);
    return n >= 0 && static_cast<size_t>(n) < size;
}

bool ends_with(const char* text, const char* ending) {
    const size_t len = std::strlen(text);
    const size_t n = std::strlen(ending);
    return len > n && std::memcmp(text + len - n, ending, n) == 0;
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
