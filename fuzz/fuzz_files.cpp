// Any bytes as the exchange files the program reads back: the page file
// "/tmp/hdd/root/outfile_1" (read_page_file), the favourite station request
// "/tmp/hdd/root/infile_3" (read_fav_station) and the page link request
// "/tmp/hdd/root/infile_1" (read_page_href). Every text field stays
// zero-terminated within its width.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_common.h"
#include "records/request_files.h"
#include "records/station_page.h"

namespace {

void check_station(const StationEntry& s) {
    fuzz_check_field(s.tuneinpath, "tuneinpath");
    fuzz_check_field(s.genre, "genre");
    fuzz_check_field(s.name, "name");
    fuzz_check_field(s.mt, "mt");
}

void check_page(const StationPage& page) {
    fuzz_check_field(page.prevpagehref, "prevpagehref");
    fuzz_check_field(page.nextpagehref, "nextpagehref");
    fuzz_check_field(page.genreprefix, "genreprefix");
    for (const auto& g : page.genrename) fuzz_check_field(g, "genrename");
    for (const auto& g : page.genrevalue) fuzz_check_field(g, "genrevalue");
    for (const StationEntry& s : page.stations) check_station(s);
    fuzz_check_field(page.pagefilename, "pagefilename");
    // The cache path is cut at its line feed: it names a file.
    fuzz_check(std::strchr(page.pagefilename, '\n') == nullptr, "pagefilename keeps its line feed");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz_write_file(kPageFile, data, size)) fuzz_fail("cannot write the page file");
    fuzz_check(read_page_file(&station_page), "page file not read");
    check_page(station_page);

    if (!fuzz_write_file(kFavStationFile, data, size)) fuzz_fail("cannot write the favourite file");
    StationEntry station;
    std::memset(&station, 0, sizeof station);
    fuzz_check(read_fav_station(&station), "favourite file not read");
    check_station(station);

    if (!fuzz_write_file(kPageLinkFile, data, size)) fuzz_fail("cannot write the link file");
    // A guard zone behind the buffer: nothing may be written there.
    char link[kPageLinkSize + 16];
    std::memset(link, 0, kPageLinkSize);
    std::memset(link + kPageLinkSize, 0x5a, 16);
    fuzz_check(read_page_href(link), "link file not read");
    fuzz_check(std::memchr(link, '\0', kPageLinkSize) != nullptr, "link without terminator");
    fuzz_check(std::strchr(link, '\n') == nullptr, "link keeps a line feed");
    for (int i = 0; i < 16; ++i) fuzz_check(link[kPageLinkSize + i] == 0x5a, "link written past its buffer");
    return 0;
}
