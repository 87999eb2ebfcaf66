// Any bytes as a station's cached playlist: parse_pls_text on a zero-terminated
// copy, then parse_pls reading the same bytes from the playlist cache file
// (put in place first, so nothing is downloaded).
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "platform/storage_root.h"
#include "platform/text.h"
#include "playlist/pls.h"
#include "records/channel_list.h"
#include "records/station_page.h"

namespace {

void check_table(unsigned count) {
    fuzz_check(count <= kPlaylistRows, "more rows than the playlist table holds");
    for (const PlaylistEntry& row : playlist_table) {
        fuzz_check_field(row.url, "playlist url");
        fuzz_check_field(row.title, "playlist title");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_setup();
    copy_text(storage_root, kDiskRoot, sizeof storage_root);
    mkdir(kDiskRoot, 0755);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    std::memset(playlist_table, 0, sizeof playlist_table);
    uint8_t count = 0;
    if (parse_pls_text(text.data(), &count) == PlsFault::kNone) check_table(count);

    // An empty cache file would be removed and fetched anew: not here.
    if (size == 0) return 0;
    StationEntry station;
    std::memset(&station, 0, sizeof station);
    station.index = 3;
    copy_text(station.tuneinpath, "/sbin/tunein-station.pls?id=99", sizeof station.tuneinpath);
    char name[kPlsNameSize];
    fuzz_check(playlist_cache_name(name, sizeof name, "/tmp/hdd/root/irf/favorite", &station), "favourite cache name");
    if (!fuzz_write_file(name, data, size)) fuzz_fail("cannot write the playlist cache file");
    count = 0;
    if (parse_pls(station, &count, nullptr) == 1) check_table(count);
    return 0;
}
