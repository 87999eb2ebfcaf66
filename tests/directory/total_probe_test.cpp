// The number of pages of a listing, from its total file in the storage root.
// Every case here has its total file in place, so nothing is downloaded.
#include <cstring>
#include <string>

#include "dir_test_util.h"
#include "directory/total_probe.h"

namespace {

using namespace dir_test;

const char kTotalUrl[] = "http://api.shoutcast.com/legacy/genresearch?k=Lq3Vt8Nw5Rz1Hk6P&genre=Pop";
const char kTotal[] = "/tmp/hdd/root/irf/PopPageTotal.xml";
const std::string kLooking = std::string("\n\nzavadod::total path=") + kTotalUrl + "\n" +
                             "zavadod::total down_file=" + kTotal + "\n" + kTotal + " is exist\n";

class ProbeTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(kTestRoot);
        clear_dir(kTestRoot);
    }
    void TearDown() override { clear_dir(kTestRoot); }

    uint16_t probe(const std::string& total) {
        put_file(kTotal, total);
        const TestRoot root;
        start_stdout();
        const uint16_t pages = probe_page_total(root.dir, kTotalUrl, "PopPageTotal.xml");
        out = end_stdout();
        return pages;
    }
    std::string out;
};

TEST_F(ProbeTest, PagesOfTwentyRoundedUp) {
    for (const auto& [stations, pages] : {std::pair{45, 3}, {40, 2}, {41, 3}, {20, 1}, {1, 1}, {0, 0}, {700, 35}}) {
        SCOPED_TRACE(stations);
        EXPECT_EQ(probe(listing(station_lines(1, stations))), pages);
        EXPECT_EQ(out, kLooking);
        // The file is kept for the next page of the listing; a listing
        // without stations is asked for again next time.
        EXPECT_EQ(exists(kTotal), stations != 0);
    }
}

TEST_F(ProbeTest, CountsStationChildrenOfTopLevelNodesOnly) {
    EXPECT_EQ(probe("<?xml version=\"1.0\"?>\n<!-- <station/> -->\n<stationlist>\n" + station_lines(1, 19) +
                    "<station/>\n"                                        // no attributes: counted
                    "<station id=\"x\"><station id=\"y\"/></station>\n"  // the inner one is not
                    "<Station id=\"z\"/><STATION/>\n"                     // other case: not counted
                    "<tunein base=\"/x\"><station/></tunein>\n"
                    "<list>" + station_lines(100, 5) + "</list>\n"
                    "</stationlist>\n"),
              2);  // 21 stations
    EXPECT_EQ(probe("<a>" + station_lines(1, 15) + "</a><b>" + station_lines(16, 10) + "</b>"), 2);
}

TEST_F(ProbeTest, UnloadableTotalFileIsRemoved) {
    for (const std::string bad : {"<stationlist><station></stationlist>", "garbage"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(probe(bad), 0);
        EXPECT_EQ(out, kLooking + "Can't open the file:" + kTotal + "\n");
        EXPECT_FALSE(exists(kTotal));
    }
}

}  // namespace
