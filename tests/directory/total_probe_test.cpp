// The number of pages of a listing, from the total file in the storage root.
// Every case here has its total file in place, so nothing is downloaded.
#include <cstring>
#include <string>

#include "dir_test_util.h"
#include "directory/total_probe.h"
#include "directory/xml_walk.h"

namespace {

using namespace dir_test;

const char kUrl[] = "http://api.shoutcast.com/legacy/genresearch?k=Lq3Vt8Nw5Rz1Hk6P&genre=Pop&limit=40,20";
const char kTotalUrl[] = "http://api.shoutcast.com/legacy/genresearch?k=Lq3Vt8Nw5Rz1Hk6P&genre=Pop";

std::string total_url(const char* page_url) {
    char out[256];
    total_url_of(out, sizeof out, page_url);
    return out;
}

std::string total_path(const char* base) {
    char out[256];
    if (!total_path_of(out, sizeof out, base)) return "(refused)";
    return out;
}

TEST(TotalNames, UrlIsCutBeforeTheFirstLimit) {
    EXPECT_EQ(total_url(kUrl), kTotalUrl);
    EXPECT_EQ(total_url("http://yp.shoutcast.com/sbin/newxml.phtml?genre=all&limit=0,20"),
              "http://yp.shoutcast.com/sbin/newxml.phtml?genre=all");
    EXPECT_EQ(total_url("http://h/p?a=1"), "http://h/p?a=1");
    EXPECT_EQ(total_url("http://h/p?a=1&limit=1&limit=2"), "http://h/p?a=1");
    // "limit=" without "&" is not the limit.
    EXPECT_EQ(total_url("http://h/p?limit=0,20"), "http://h/p?limit=0,20");
}

TEST(TotalNames, PathIsCutAfterTheLastPage) {
    // All pages of a listing share one total file.
    EXPECT_EQ(total_path("/tmp/hdd/root/irf/PopPage1"), "/tmp/hdd/root/irf/PopPageTotal.xml");
    EXPECT_EQ(total_path("/tmp/hdd/root/irf/PopPage3"), "/tmp/hdd/root/irf/PopPageTotal.xml");
    EXPECT_EQ(total_path("/tmp/hdd/root/irf/Page12"), "/tmp/hdd/root/irf/PageTotal.xml");
    // A genre holding "Page" keeps its own total file.
    EXPECT_EQ(total_path("/tmp/hdd/root/irf/Page 3Page1"), "/tmp/hdd/root/irf/Page 3PageTotal.xml");
    EXPECT_EQ(total_path("/tmp/hdd/root/irf/PagePage2"), "/tmp/hdd/root/irf/PagePageTotal.xml");
    // A search has its own.
    EXPECT_EQ(total_path("/tmp/hdd/root/irf/PopSearch_3a1b4ab4Page2"),
              "/tmp/hdd/root/irf/PopSearch_3a1b4ab4PageTotal.xml");
    // No "Page" at all: "Total.xml" after the whole base.
    EXPECT_EQ(total_path("/tmp/hdd/root/irf/Pop"), "/tmp/hdd/root/irf/PopTotal.xml");
    EXPECT_EQ(total_path("/tmp/hdd/root/irf/page1"), "/tmp/hdd/root/irf/page1Total.xml");
}

class ProbeTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(kTestRoot);
        clear_dir(kTestRoot);
    }
    void TearDown() override { clear_dir(kTestRoot); }

    int16_t probe(const char* base) {
        start_stdout();
        const int16_t pages = probe_page_total(kUrl, base);
        out = end_stdout();
        return pages;
    }
    std::string out;
};

const char kBase[] = "/tmp/hdd/root/irf/PopPage3";
const char kTotal[] = "/tmp/hdd/root/irf/PopPageTotal.xml";

TEST_F(ProbeTest, PagesOfTwentyRoundedUp) {
    for (const auto& [stations, pages] : {std::pair{45, 3}, {40, 2}, {41, 3}, {20, 1}, {1, 1}, {0, 0}, {700, 35}}) {
        SCOPED_TRACE(stations);
        put_file(kTotal, listing(station_lines(1, stations)));
        EXPECT_EQ(probe(kBase), pages);
        EXPECT_EQ(out, std::string("\n\nzavadod::total path=") + kTotalUrl + "\n" +
                           "zavadod::total down_file=" + kTotal + "\n" + kTotal + " is exist\n");
        // The file is kept for the next page of the listing; a listing
        // without stations is asked for again next time.
        EXPECT_EQ(exists(kTotal), stations != 0);
    }
}

TEST_F(ProbeTest, CountsStationChildrenOfTopLevelNodesOnly) {
    put_file(kTotal, "<?xml version=\"1.0\"?>\n<!-- <station/> -->\n<stationlist>\n" + station_lines(1, 19) +
                         "<station/>\n"                          // no attributes: counted
                         "<station id=\"x\"><station id=\"y\"/></station>\n"  // the inner one is not
                         "<Station id=\"z\"/><STATION/>\n"  // other case: not counted
                         "<tunein base=\"/x\"><station/></tunein>\n"
                         "<list>" + station_lines(100, 5) + "</list>\n"
                         "</stationlist>\n");
    int32_t count = -1;
    EXPECT_EQ(count_total_stations(kTotal, &count), 1);
    EXPECT_EQ(count, 21);
    EXPECT_EQ(probe(kBase), 2);
}

TEST_F(ProbeTest, CountsOverSeveralTopLevelElements) {
    put_file(kTotal, "<a>" + station_lines(1, 15) + "</a><b>" + station_lines(16, 10) + "</b>");
    int32_t count = -1;
    EXPECT_EQ(count_total_stations(kTotal, &count), 1);
    EXPECT_EQ(count, 25);
}

TEST_F(ProbeTest, UnloadableTotalFileIsRemoved) {
    for (const std::string& bad : {std::string("<stationlist><station></stationlist>"), std::string("garbage")}) {
        SCOPED_TRACE(bad);
        put_file(kTotal, bad);
        EXPECT_EQ(probe(kBase), 0);
        EXPECT_EQ(out, std::string("\n\nzavadod::total path=") + kTotalUrl + "\n" + "zavadod::total down_file=" +
                           kTotal + "\n" + kTotal + " is exist\n" + "Can't open the file:" + kTotal + "\n");
        EXPECT_FALSE(exists(kTotal));
    }
    int32_t count = -1;
    EXPECT_EQ(count_total_stations("/tmp/hdd/root/irf/missing.xml", &count), 0);
    EXPECT_EQ(count, -1);
}

TEST_F(ProbeTest, SharedAndSeparateTotalFiles) {
    // Pages 1 and 5 of Pop use the one file; the genre "Page 3", all
    // stations and a search on Pop each have their own.
    put_file(kTotal, listing(station_lines(1, 45)));
    put_file("/tmp/hdd/root/irf/Page 3PageTotal.xml", listing(station_lines(1, 61)));
    put_file("/tmp/hdd/root/irf/PageTotal.xml", listing(station_lines(1, 101)));
    put_file("/tmp/hdd/root/irf/PopSearch_3a1b4ab4PageTotal.xml", listing(station_lines(1, 5)));
    EXPECT_EQ(probe("/tmp/hdd/root/irf/PopPage1"), 3);
    EXPECT_EQ(probe("/tmp/hdd/root/irf/PopPage5"), 3);
    EXPECT_EQ(probe("/tmp/hdd/root/irf/Page 3Page1"), 4);
    EXPECT_EQ(probe("/tmp/hdd/root/irf/Page2"), 6);
    EXPECT_EQ(probe("/tmp/hdd/root/irf/PopSearch_3a1b4ab4Page1"), 1);
    EXPECT_EQ(out, std::string("\n\nzavadod::total path=") + kTotalUrl +
                       "\nzavadod::total down_file=/tmp/hdd/root/irf/PopSearch_3a1b4ab4PageTotal.xml\n"
                       "/tmp/hdd/root/irf/PopSearch_3a1b4ab4PageTotal.xml is exist\n");
}

}  // namespace
