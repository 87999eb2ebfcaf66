#include "playlist/pls.h"

#include <cstdio>
#include <cstring>

#include "diag/debug_log.h"
#include "directory/service.h"
#include "platform/cache.h"
#include "platform/limits.h"
#include "platform/safe_files.h"
#include "platform/storage_root.h"
#include "platform/text.h"
#include "platform/utf8.h"
#include "platform/whole_file.h"
#include "records/channel_list.h"

namespace {

// What a playlist request prints on its way through the cache.
constexpr CacheLines kPlaylistLines = {nullptr, "prefix:'%2$s'\npath:'%1$s'\n", "%s\n"};

// The value behind the first `key` in `text`, up to the line end or the end
// of the text, copied into a field of `size` bytes (zero-terminated; a
// value too long is cut, at a character boundary when `utf8`).
bool copy_value(const char* text, const char* key, char* field, size_t size, bool utf8) {
    const char* at = nullptr;
    if (VxStrFind(text, key, &at) < 0) return false;
    at += std::strlen(key);
    const size_t len = std::strcspn(at, "\r\n");
    const size_t n = len < size ? len : utf8 ? utf8_prefix_len(at, size - 1) : size - 1;
    std::memcpy(field, at, n);
    std::memset(field + n, 0, size - n);
    return true;
}

}  // namespace

int sPlayListInit() {
    udp_log("sPlayListInit", 246, kSrcLogic, "%s", "");
    std::memset(playlist_table, 0, sizeof playlist_table);
    return 1;
}

bool playlist_cache_name(char* out, size_t size, const char* prefix, const StationEntry* st) {
    const size_t path_len = std::strcspn(st->tuneinpath, "\r\n");
    return format_text(out, size, "%s_station%d_%08x.pls", prefix, static_cast<int>(st->index),
                       fnv1a32(st->tuneinpath, path_len));
}

PlsFault parse_pls_text(const char* text, uint8_t* count) {
    const char* at = nullptr;
    if (VxStrFind(text, "[playlist]", &at) != 0) return PlsFault::kNoHeader;
    if (VxStrFind(text, "numberofentries=", &at) < 0) return PlsFault::kNoCount;
    // The number ends at the first byte that is neither blank, sign nor
    // digit, so at the line end at the latest.
    uint8_t entries = 0;
    VxParseUInt8(at + sizeof "numberofentries=" - 1, &entries);

    // The body runs at least once: a count of 0 still reads entry 1.
    uint8_t i = 0;
    do {
        if (i >= kPlaylistRows) break;  // the table's end
        char key[32];
        format_text(key, sizeof key, "File%d=", i + 1);
        if (!copy_value(text, key, playlist_table[i].url, sizeof playlist_table[i].url, false)) {
            std::printf("Failed to Search File in *.pls\n");
            break;
        }
        format_text(key, sizeof key, "Title%d=", i + 1);
        if (!copy_value(text, key, playlist_table[i].title, sizeof playlist_table[i].title, true)) {
            std::printf("Failed to Search Title in *.pls\n");
            break;
        }
        ++i;
    } while (i < entries);
    *count = i;
    return PlsFault::kNone;
}

int parse_pls(StationEntry station, uint8_t* count, const char* page_file_name) {
    udp_log("parse_pls", 258, kSrcLogic, "%s", "");
    std::printf("\n %d, %s, %s \n", 259, "parse_pls", kSrcLogic);
    // A favourite may be the first request on a fresh device, before any
    // page request has made the storage root: it is made quietly.
    StorageDir root = {-1, storage_root, false, 0};
    const bool locked = enter_storage(RootMaking::kQuiet, ".pls", &root);

    // A page's station has its playlist beside the page's cached XML: the
    // page file's name must name a file directly in the storage root.
    const char* prefix = page_file_name == nullptr ? "favorite" : name_in_root(page_file_name, storage_root);
    char name[kPlsNameSize];
    RootFile file;
    const bool name_fits = prefix != nullptr && playlist_cache_name(name, sizeof name, prefix, &station) &&
                           root_file(&file, root, name) && std::strlen(file.path) < kPlsNameSize;
    sPlayListInit();
    if (!locked || !name_fits) return 0;
    // The path follows the host in the URL: one that does not begin with
    // "/" would name another host ("@other.host/x.pls", ".evil.example/x.pls").
    if (station.tuneinpath[0] != '/') return 0;

    char url[kUrlSize];
    build_playlist_url(url, sizeof url, station.tuneinpath);
    if (reuse_or_fetch(file, url, kPlaylistCap, kPlaylistLines) == CacheOutcome::kFailed) return 0;

    uint32_t length = 0;
    char* text = read_file(root.fd, file.name, &length, kPlaylistCap);
    if (text == nullptr) {
        std::printf("\n failed to get pls file\n");
        // Unreadable now, unreadable next time: fetched afresh instead.
        remove_file(root.fd, file.name);
        return 0;
    }
    uint8_t rows = 0;
    const PlsFault fault = parse_pls_text(text, &rows);
    free_file(&text);
    // A text that is no playlist, or one that gives no stream (a download
    // cut short), would fail every later request: it goes.
    if (fault != PlsFault::kNone || rows == 0) remove_file(root.fd, file.name);
    if (fault == PlsFault::kNoCount) std::printf("Failed to Searchnumberofentries in * pls\n");
    if (fault != PlsFault::kNone) return 0;
    *count = rows;
    return 1;
}
