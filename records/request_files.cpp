#include "records/request_files.h"

#include <cstdio>

#include "platform/safe_files.h"
#include "platform/text.h"

bool read_page_href(char* link) {
    if (link == nullptr) return false;
    FilePtr f(fopen_regular(kPageLinkFile));
    if (!f) return false;
    // Every byte but line feeds, up to the first zero byte, as far as the
    // link buffer reaches.
    char buf[kPageLinkSize];
    const size_t got = std::fread(buf, 1, sizeof buf - 1, f.get());
    buf[got] = '\0';
    size_t n = 0;
    for (size_t i = 0; i < got && buf[i] != '\0'; ++i)
        if (buf[i] != '\n') link[n++] = buf[i];
    link[n] = '\0';
    std::printf("\n\nread pageHref=%s!!!!!!\n\n", link);
    return true;
}

bool read_fav_station(StationEntry* st) {
    if (st == nullptr) return false;
    FilePtr f(fopen_regular(kFavStationFile));
    if (!f) return false;
    read_station_lines(f.get(), st);
    return true;
}
