#include "directory/service.h"

#include <cstring>

#include "platform/text.h"

bool percent_encode(char* dst, size_t size, const char* src) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(src); *s != 0; ++s) {
        const unsigned char c = *s;
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~';
        const size_t need = plain ? 1 : 3;
        if (n + need >= size) {
            dst[n] = '\0';
            return false;
        }
        if (plain) {
            dst[n++] = static_cast<char>(c);
        } else {
            dst[n++] = '%';
            dst[n++] = kHex[c >> 4];
            dst[n++] = kHex[c & 15];
        }
    }
    dst[n] = '\0';
    return true;
}

bool build_listing_url(char* url, size_t size, QueryMode mode, const char* devKey, const char* genre,
                       const char* search) {
    // Encoded values are at most three times their text; every input is
    // bounded by its caller's buffer, so these never cut.
    char key[3 * kUrlSize];
    char value[3 * kUrlSize];
    key[0] = value[0] = '\0';
    if (devKey != nullptr && !percent_encode(key, sizeof key, devKey)) return false;
    if (mode == kModeGenre && !percent_encode(value, sizeof value, genre)) return false;
    if (mode == kModeSearch && !percent_encode(value, sizeof value, search)) return false;

    const char* what = mode == kModeSearch ? "search" : "genre";
    const char* val = mode == kModeAll ? "all" : value;
    if (devKey != nullptr) {
        const char* path = mode == kModeSearch ? "/legacy/stationsearch" : "/legacy/genresearch";
        return format_text(url, size, "http://%s%s?k=%s&%s=%s", kKeyedHost, path, key, what, val);
    }
    return format_text(url, size, "http://%s/sbin/newxml.phtml?%s=%s", kLegacyHost, what, val);
}

bool build_playlist_url(char* url, size_t size, const char* tuneinpath) {
    const int len = static_cast<int>(std::strcspn(tuneinpath, "\r\n"));
    return format_text(url, size, "http://%s%.*s", kLegacyHost, len, tuneinpath);
}
