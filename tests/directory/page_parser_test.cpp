// A cached directory page (XML) into the station rows and genre lists of the
// process-wide page record.
#include <cstring>
#include <string>

#include "dir_test_util.h"
#include "directory/page_parser.h"
#include "records/station_page.h"

namespace {

using namespace dir_test;

const char kPage[] = "/tmp/parser_page.html";
const char kKey[] = "Lq3Vt8Nw5Rz1Hk6P";

const char* const kGenres19[kGenres] = {"Anime", "Blues",     "Classical", "Comedy", "Dance",       "Disco", "Folk",
                                        "Heavy Metal", "Hip Hop", "Jazz", "Kids", "News", "Political", "Pop",
                                        "Rap", "Rock & Roll", "Soul", "Talk", "Top 40"};

template <size_t N>
std::string text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Every byte of the field from its terminator on is zero.
template <size_t N>
bool zero_tail(const char (&field)[N]) {
    for (size_t i = strnlen(field, N); i < N; ++i)
        if (field[i] != '\0') return false;
    return true;
}

using test_files::all_zero;

struct Row {
    uint16_t index;
    std::string tuneinpath, genre, name;
    uint16_t lc, used, br;
    std::string mt;
};

void expect_row(int row, const Row& want) {
    SCOPED_TRACE("row " + std::to_string(row));
    const StationEntry& s = station_page.stations[row - 1];
    EXPECT_EQ(s.index, want.index);
    EXPECT_EQ(text(s.tuneinpath), want.tuneinpath);
    EXPECT_EQ(text(s.genre), want.genre);
    EXPECT_EQ(text(s.name), want.name);
    EXPECT_EQ(s.lc, want.lc);
    EXPECT_EQ(s.used, want.used);
    EXPECT_EQ(s.br, want.br);
    EXPECT_EQ(text(s.mt), want.mt);
    EXPECT_TRUE(zero_tail(s.tuneinpath) && zero_tail(s.genre) && zero_tail(s.name) && zero_tail(s.mt));
}

class ParserTest : public testing::Test {
protected:
    void SetUp() override { std::memset(&station_page, 0, sizeof station_page); }
    void TearDown() override { std::remove(kPage); }

    // Writes the page, parses it and returns what was printed.
    std::string parse(const std::string& xml, const char* key = kKey) {
        put_file(kPage, xml);
        start_stdout();
        result = parse_homepage(&station_page, dir_test::path_file(kPage), key);
        return end_stdout();
    }
    int result = -1;
};

void expect_genre_lists() {
    EXPECT_EQ(text(station_page.genreprefix), "sgenre=");
    EXPECT_TRUE(zero_tail(station_page.genreprefix));
    for (int i = 0; i < kGenres; ++i) {
        EXPECT_EQ(text(station_page.genrename[i]), kGenres19[i]);
        EXPECT_EQ(text(station_page.genrevalue[i]), kGenres19[i]);
        EXPECT_TRUE(zero_tail(station_page.genrename[i]) && zero_tail(station_page.genrevalue[i]));
    }
}

TEST_F(ParserTest, SevenStations) {
    const std::string out = parse(listing(station_lines(1, 7)));
    EXPECT_EQ(out, "parse_homepage::/tmp/parser_page.html\n");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(station_page.stationtotal, 7);
    for (int i = 1; i <= 7; ++i)
        expect_row(i, {static_cast<uint16_t>(i), "/sbin/tunein-station.pls?id=" + std::to_string(i) + "&k=" + kKey,
                       "Pop", "Station " + std::to_string(i), static_cast<uint16_t>(i * 10), 1, 128, "audio"});
    EXPECT_TRUE(all_zero(&station_page.stations[7], sizeof(StationEntry) * 13));
    expect_genre_lists();
    // Nothing else of the record is touched.
    EXPECT_EQ(station_page.pagenum, 0);
    EXPECT_EQ(station_page.pagetotal, 0);
    EXPECT_TRUE(all_zero(station_page.prevpagehref, sizeof station_page.prevpagehref));
    EXPECT_TRUE(all_zero(station_page.nextpagehref, sizeof station_page.nextpagehref));
    EXPECT_TRUE(all_zero(station_page.pagefilename, sizeof station_page.pagefilename));
}

TEST_F(ParserTest, TwentyFiveStationsFillTwenty) {
    parse(listing(station_lines(1, 25)));
    EXPECT_EQ(station_page.stationtotal, 20);
    expect_row(20, {20, std::string("/sbin/tunein-station.pls?id=20&k=") + kKey, "Pop", "Station 20", 200, 1, 128,
                    "audio"});
}

TEST_F(ParserTest, RowsRunOnAcrossTopLevelNodes) {
    // Two top-level elements: the second one's stations follow the first's,
    // up to 20 in all.
    parse("<a>" + station_lines(1, 15) + "</a>\n<b>" + station_lines(16, 10) + "</b>\n", nullptr);
    EXPECT_EQ(station_page.stationtotal, 20);
    expect_row(16, {16, "?id=16", "Pop", "Station 16", 160, 1, 128, "audio"});
    expect_row(20, {20, "?id=20", "Pop", "Station 20", 200, 1, 128, "audio"});
}

TEST_F(ParserTest, AttributeLessAndUnknownStations) {
    parse(listing("<station/>\n"
                  "<station id=\"5\" name=\"Five\"/>\n"
                  "<station ID=\"6\" Name=\"Six\" GENRE=\"x\" LC=\"1\" Br=\"2\" MT=\"a/b\" ct=\"now\"/>\n"
                  "<Station id=\"7\" name=\"Seven\"/>\n"
                  "<STATION id=\"8\"/>\n"
                  "<station id=\"9\" name=\"Nine\"><station id=\"10\" name=\"Nested\"/></station>\n"
                  "<!-- <station id=\"11\"/> -->\n"),
          nullptr);
    EXPECT_EQ(station_page.stationtotal, 4);
    EXPECT_TRUE(all_zero(&station_page.stations[0], sizeof(StationEntry)));
    expect_row(2, {2, "/sbin/tunein-station.pls?id=5", "", "Five", 0, 1, 0, ""});
    expect_row(3, {3, "", "", "", 0, 1, 0, ""});
    expect_row(4, {4, "/sbin/tunein-station.pls?id=9", "", "Nine", 0, 1, 0, ""});
    EXPECT_TRUE(all_zero(&station_page.stations[4], sizeof(StationEntry) * 16));
}

TEST_F(ParserTest, TuneinBaseInForceWhenTheIdIsMet) {
    parse("<?xml version=\"1.0\"?>\n<stationlist>\n"
          "<station id=\"1\"/>\n"
          "<tunein base=\"/a.pls\"/>\n"
          "<station id=\"2\"/>\n"
          "<tunein other=\"x\" base=\"/ignored.pls\"/>\n"
          "<station id=\"3\"/>\n"
          "<tunein base=\"/b.pls\" other=\"/c.pls\"/>\n"
          "<station id=\"4\"/>\n"
          "<tunein/>\n"
          "<station id=\"5\"/>\n"
          "<tunein base=\"\"/>\n"
          "<station id=\"6\"/>\n"
          "<tunein base=\"@evil.example:81/x.pls\"/>\n"
          "<station id=\"7\"><tunein base=\"/deep\"/></station>\n"
          "<station id=\"8\"/>\n"
          "</stationlist>\n",
          nullptr);
    EXPECT_EQ(station_page.stationtotal, 8);
    EXPECT_EQ(text(station_page.stations[0].tuneinpath), "?id=1");
    EXPECT_EQ(text(station_page.stations[1].tuneinpath), "/a.pls?id=2");
    EXPECT_EQ(text(station_page.stations[2].tuneinpath), "/a.pls?id=3");
    EXPECT_EQ(text(station_page.stations[3].tuneinpath), "/b.pls?id=4");
    EXPECT_EQ(text(station_page.stations[4].tuneinpath), "/b.pls?id=5");
    // A base that is not a path on the directory's host is ignored: the
    // playlist request can never be sent elsewhere.
    EXPECT_EQ(text(station_page.stations[5].tuneinpath), "/b.pls?id=6");
    EXPECT_EQ(text(station_page.stations[6].tuneinpath), "/b.pls?id=7");
    // Nor is one inside a station.
    EXPECT_EQ(text(station_page.stations[7].tuneinpath), "/b.pls?id=8");
}

TEST_F(ParserTest, ComposedPathIsCutTo60) {
    const std::string base = "/sbin/tunein-station.pls";  // 24
    // 24 + "?id=" + 10 digits + "&k=" + 16 = 57: fits whole.
    parse(listing("<station id=\"1234567890\"/>\n<station id=\"12345678901234\"/>\n"));
    EXPECT_EQ(text(station_page.stations[0].tuneinpath), base + "?id=1234567890&k=" + kKey);
    const std::string cut = (base + "?id=12345678901234&k=" + kKey).substr(0, 60);
    EXPECT_EQ(text(station_page.stations[1].tuneinpath), cut);
    EXPECT_EQ(cut.size(), 60u);
    // A base longer than 60 is itself cut to 60 first.
    const std::string longbase = "/" + std::string(69, 'b');
    parse("<stationlist><tunein base=\"" + longbase + "\"/><station id=\"7\"/></stationlist>", nullptr);
    EXPECT_EQ(text(station_page.stations[0].tuneinpath), longbase.substr(0, 60));
}

TEST_F(ParserTest, KeyInThePathIsPercentEncoded) {
    parse(listing("<station id=\"7\"/>\n"), "a b&c");
    EXPECT_EQ(text(station_page.stations[0].tuneinpath), "/sbin/tunein-station.pls?id=7&k=a%20b%26c");
}

TEST_F(ParserTest, MediaType) {
    parse(listing("<station mt=\"audio/mpeg\"/>\n"
                  "<station mt=\"audioonly\"/>\n"
                  "<station mt=\"abcdefghijk\"/>\n"
                  "<station mt=\"abc/defghijk\"/>\n"
                  "<station mt=\"abcdefghi/x\"/>\n"
                  "<station mt=\"/mpeg\"/>\n"
                  "<station mt=\"\"/>\n"));
    EXPECT_EQ(station_page.stationtotal, 7);
    const char* const want[] = {"audio", "audioonly", "abcdefghi", "abc", "abcdefghi", "", ""};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(text(station_page.stations[i].mt), want[i]) << i;
        EXPECT_TRUE(zero_tail(station_page.stations[i].mt)) << i;
        EXPECT_EQ(station_page.stations[i].used, 1) << i;
        EXPECT_EQ(station_page.stations[i].index, i + 1) << i;
    }
}

TEST_F(ParserTest, Numbers) {
    parse(listing("<station lc=\"70000\" br=\"128kbps\"/>\n"
                  "<station lc=\"many\" br=\"\"/>\n"
                  "<station lc=\"-5\" br=\" +320\"/>\n"
                  "<station lc=\"65535\" br=\"65536\"/>\n"
                  "<station lc=\"99999999999\" br=\"-99999999999\"/>\n"));
    const uint16_t lc[] = {4464, 0, 65531, 65535, 65535};
    const uint16_t br[] = {128, 0, 320, 0, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(station_page.stations[i].lc, lc[i]) << i;
        EXPECT_EQ(station_page.stations[i].br, br[i]) << i;
    }
}

TEST_F(ParserTest, LineEndsInValuesBecomeBlanks) {
    parse("<stationlist>\n"
          "<tunein base=\"/t&#13;&#10;p\"/>\n"
          "<station id=\"1&#10;2\" name=\"Line&#10;Two&#13;Three\r\nFour&#27;[2J&#127;\tend\" genre=\"a\nb\""
          " mt=\"x&#10;y/z\"/>\n"
          "</stationlist>\n",
          nullptr);
    // A raw CR LF is one line end to the XML reader: one blank. Escape
    // sequences and DEL become blanks too, a tab stays; the id, a URL
    // value, is percent-encoded instead.
    expect_row(1, {1, "/t  p?id=1%0A2", "a b", "Line Two Three Four [2J \tend", 0, 1, 0, "x y"});
}

TEST_F(ParserTest, ValuesAndEntities) {
    parse(listing("<station name=\"Rock &amp; Roll &lt;24/7&gt; &quot;Live&quot; &#233;\" genre=\"R&amp;B\"/>\n"));
    EXPECT_EQ(text(station_page.stations[0].name), "Rock & Roll <24/7> \"Live\" \xc3\xa9");
    EXPECT_EQ(text(station_page.stations[0].genre), "R&B");
}

TEST_F(ParserTest, CutsFallOnCharacterBoundaries) {
    const std::string e = "\xc3\xa9";          // 2 bytes
    const std::string euro = "\xe2\x82\xac";   // 3 bytes
    const std::string a148(148, 'a');
    const std::string g38(38, 'g');
    const std::string m8(8, 'm');
    parse(listing("<station name=\"" + a148 + e + "\" genre=\"" + g38 + euro + "\" mt=\"" + m8 + euro + "\"/>\n" +
                  "<station name=\"" + std::string(147, 'a') + e + "x\" genre=\"" + std::string(36, 'g') + euro +
                  "x\"/>\n"));
    // 148 + 2 bytes would be 150: the whole character goes.
    EXPECT_EQ(text(station_page.stations[0].name), a148);
    EXPECT_EQ(text(station_page.stations[0].genre), g38);
    EXPECT_EQ(text(station_page.stations[0].mt), m8);
    // Exactly filling the field keeps the character.
    EXPECT_EQ(text(station_page.stations[1].name), std::string(147, 'a') + e);
    EXPECT_EQ(text(station_page.stations[1].genre), std::string(36, 'g') + euro);
    EXPECT_TRUE(zero_tail(station_page.stations[0].name) && zero_tail(station_page.stations[0].genre));
}

TEST_F(ParserTest, PathCutOnCharacterBoundary) {
    // base of 58 bytes + a 2-byte character: "?id=" would start at 60.
    const std::string base = "/" + std::string(57, 'b');
    parse("<stationlist><tunein base=\"" + base + "\xc3\xa9\"/><station id=\"1\"/></stationlist>", nullptr);
    EXPECT_EQ(text(station_page.stations[0].tuneinpath), base + "\xc3\xa9");
    const std::string base59 = "/" + std::string(58, 'b');
    parse("<stationlist><tunein base=\"" + base59 + "\xc3\xa9\"/><station id=\"1\"/></stationlist>", nullptr);
    EXPECT_EQ(text(station_page.stations[0].tuneinpath), base59 + "?");
}

TEST_F(ParserTest, UnloadablePageStillFillsTheGenreLists) {
    for (const std::string& bad : {std::string("<stationlist><station id=\"1\"></stationlist>"), std::string(""),
                                   std::string("not xml at all"), std::string("<a></b>")}) {
        SCOPED_TRACE(bad);
        std::memset(&station_page, 0, sizeof station_page);
        const std::string out = parse(bad);
        EXPECT_EQ(out, "parse_homepage::/tmp/parser_page.html\nCan't open the file:/tmp/parser_page.html\n");
        EXPECT_EQ(result, 0);
        EXPECT_EQ(station_page.stationtotal, 0);
        EXPECT_TRUE(all_zero(station_page.stations, sizeof station_page.stations));
        expect_genre_lists();
    }
}

TEST_F(ParserTest, MissingPage) {
    start_stdout();
    EXPECT_EQ(parse_homepage(&station_page, dir_test::path_file("/tmp/no_such_page.html"), kKey), 0);
    EXPECT_EQ(end_stdout(), "parse_homepage::/tmp/no_such_page.html\nCan't open the file:/tmp/no_such_page.html\n");
    expect_genre_lists();
}

TEST_F(ParserTest, EmptyListingLoads) {
    const std::string out = parse("<?xml version=\"1.0\"?><stationlist></stationlist>");
    EXPECT_EQ(out, "parse_homepage::/tmp/parser_page.html\n");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(station_page.stationtotal, 0);
}

}  // namespace
