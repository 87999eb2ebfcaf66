// Any bytes as a cached directory page: whatever the loader hands TinyXML
// builds a document within the bounds, and parse_homepage must leave every
// text field of the page record zero-terminated within its width, on one
// line (no CR or LF), and at most 20 rows.
#include <cstdint>
#include <cstring>

#include "directory/page_parser.h"
#include "fuzz/fuzz_common.h"
#include "platform/limits.h"
#include "records/station_page.h"
#include "tests/directory/xml_tree.h"

namespace {

constexpr char kPath[] = "/tmp/fuzz_page.xml";

template <size_t N>
void check_line(const char (&field)[N], const char* what) {
    fuzz_check_field(field, what);
    fuzz_check(std::strpbrk(field, "\r\n") == nullptr, what);
}

void check_page(const StationPage& page) {
    fuzz_check(page.stationtotal <= kPageStations, "stationtotal beyond 20");
    check_line(page.prevpagehref, "prevpagehref");
    check_line(page.nextpagehref, "nextpagehref");
    check_line(page.genreprefix, "genreprefix");
    for (const auto& g : page.genrename) check_line(g, "genrename");
    for (const auto& g : page.genrevalue) check_line(g, "genrevalue");
    for (int i = 0; i < kPageStations; ++i) {
        const StationEntry& s = page.stations[i];
        check_line(s.tuneinpath, "tuneinpath");
        check_line(s.genre, "genre");
        check_line(s.name, "name");
        check_line(s.mt, "mt");
        fuzz_check(std::strchr(s.mt, '/') == nullptr, "mt keeps its subtype");
        if (i >= page.stationtotal) fuzz_check(s.used == 0 && s.index == 0, "row beyond stationtotal filled");
    }
    check_line(page.pagefilename, "pagefilename");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz_write_file(kPath, data, size)) fuzz_fail("cannot write the page");
    TiXmlDocument doc;
    load_xml_file(&doc, AT_FDCWD, kPath);  // an empty document when TinyXML did not get the page
    const xml_tree::Measure m = xml_tree::measure(doc);
    fuzz_check(m.depth <= kXmlMaxDepth && m.attributes <= kXmlMaxAttributes && m.names <= kXmlMaxNameBytes &&
                   m.bytes <= kXmlMaxNodeBytes + m.slack,
               "TinyXML handed a page past the bounds");
    std::memset(&station_page, 0, sizeof station_page);
    // Both endpoints: keyed (the key goes into every tuneinpath) and legacy.
    const char* key = size % 2 == 0 ? "Lq3Vt8Nw5Rz1Hk6P" : nullptr;
    static const StorageDir tmp = {open("/tmp", O_RDONLY | O_DIRECTORY | O_CLOEXEC), "/tmp", false, 0};
    RootFile page;
    root_file(&page, tmp, kPath + 5);  // the name in /tmp
    if (!parse_homepage(&station_page, page, key)) fuzz_check(station_page.stationtotal == 0, "stations from a page that did not load");
    check_page(station_page);
    return 0;
}
