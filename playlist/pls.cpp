#include "playlist/pls.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "diag/debug_log.h"
#include "directory/service.h"
#include "platform/download.h"
#include "platform/files.h"
#include "platform/limits.h"
#include "platform/storage.h"
#include "platform/text.h"
#include "records/channel_list.h"

namespace {

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

// A page's station has its playlist beside the page's cached XML: the page
// file's name must be a file directly in the storage root.
bool page_name_in_root(const char* pagefilename) {
    const size_t n = std::strlen(storage_root);
    return std::strncmp(pagefilename, storage_root, n) == 0 && pagefilename[n] == '/' &&
           std::strchr(pagefilename + n + 1, '/') == nullptr;
}

}  // namespace

int sPlayListInit() {
    udp_log("sPlayListInit", 246, kSrcLogic, "%s", "");
    for (auto& row : playlist_table) VxMemset(&row, 0, sizeof row);
    return 1;
}

int playlist_cache_name(char* out, size_t size, const StationEntry* st, uint8_t favourite) {
    int fits;
    if (favourite == 0) {
        fits = VxStrCopyZ(out, station_page.pagefilename, size);
    } else {
        fits = VxStrCopyZ(out, storage_root, size) & VxStrAppendZ(out, "/favorite", size);
    }
    const size_t path_len = std::strcspn(st->tuneinpath, "\r\n");
    char suffix[48];
    VxFormat(suffix, sizeof suffix, "_station%d_%08x.pls", static_cast<int>(st->index),
             fnv1a32(st->tuneinpath, path_len));
    return fits & VxStrAppendZ(out, suffix, size);
}

int parse_pls_text(const char* text, uint8_t* count, int* reason) {
    const char* at = nullptr;
    if (VxStrFind(text, "[playlist]", &at) != 0) {
        *reason = 1;
        return 0;
    }
    if (VxStrFind(text, "numberofentries=", &at) < 0) {
        *reason = 2;
        return 0;
    }
    // The number ends at the first byte that is neither blank, sign nor
    // digit, so at the line end at the latest.
    uint8_t entries = 0;
    VxParseUInt8(at + sizeof "numberofentries=" - 1, &entries);

    // The body runs at least once: a count of 0 still reads entry 1.
    uint8_t i = 0;
    do {
        if (i >= kPlaylistRows) break;  // the table's end
        char key[32];
        VxFormat(key, sizeof key, "File%d=", i + 1);
        if (!copy_value(text, key, playlist_table[i].url, sizeof playlist_table[i].url, false)) {
            std::printf("Failed to Search File in *.pls\n");
            break;
        }
        VxFormat(key, sizeof key, "Title%d=", i + 1);
        if (!copy_value(text, key, playlist_table[i].title, sizeof playlist_table[i].title, true)) {
            std::printf("Failed to Search Title in *.pls\n");
            break;
        }
        ++i;
    } while (i < entries);
    *count = i;
    return 1;
}

int parse_pls(StationEntry station, uint8_t* count, uint8_t favourite) {
    udp_log("parse_pls", 258, kSrcLogic, "%s", "");
    std::printf("\n %d, %s, %s \n", 259, "parse_pls", kSrcLogic);
    // A favourite may be the first request on a fresh device, before any
    // page request has made the storage root: it is made quietly, for the
    // cache's lock and the download.
    drop_storage_root_link();
    (void)mkdir(storage_root, 0744);
    const int locked = take_run_lock();
    if (locked == 1 && storage_is_flash()) remove_files_with_suffix(kFlashRoot, ".pls");

    char name[kPlsNameSize];
    const int name_fits = playlist_cache_name(name, sizeof name, &station, favourite);
    sPlayListInit();
    if (locked != 1 || !name_fits) return 0;
    if (favourite == 0 && !page_name_in_root(station_page.pagefilename)) return 0;

    if (cached_file_usable(name, kPlaylistCap)) {
        std::printf("%s is exist\n", name);
    } else {
        char url[kUrlSize];
        build_playlist_url(url, sizeof url, station.tuneinpath);
        std::printf("prefix:'%s'\n", name);
        std::printf("path:'%s'\n", url);
        if (download_to(url, name, kPlaylistCap) != 1) {
            remove_file(name);
            std::printf("%s\n", name);
            return 0;
        }
    }

    uint32_t length = 0;
    char* text = read_file(name, &length, kPlaylistCap);
    if (text == nullptr) {
        std::printf("\n failed to get pls file\n");
        // Unreadable now, unreadable next time: fetched afresh instead.
        remove_file(name);
        return 0;
    }
    uint8_t rows = 0;
    int reason = 0;
    const int ok = parse_pls_text(text, &rows, &reason);
    free_file(&text);
    // A text that is no playlist, or one that gives no stream (a download
    // cut short), would fail every later request: it goes.
    if (!ok || rows == 0) remove_file(name);
    if (!ok) {
        if (reason == 2) std::printf("Failed to Searchnumberofentries in * pls\n");
        return 0;
    }
    *count = rows;
    return 1;
}
