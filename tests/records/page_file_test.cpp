// The page file "/tmp/hdd/root/outfile_1": 205 lines written from the page
// record and read back into the process-wide record.
#include <cstring>
#include <string>
#include <vector>

#include "records/exchange_dir.h"
#include "records/station_page.h"

namespace {

using namespace records_test;

const char* const kGenreNames[kGenres] = {
    "Alternative", "Blues",   "Classical", "Country", "Decades", "Easy Listening", "Electronic",
    "Folk",        "Inspirational", "International", "Jazz", "Latin", "Metal", "Misc",
    "New Age",     "Pop",     "R&B and Urban", "Rap", "Reggae"};

// Exactly 60 characters: the most a tuneinpath holds.
const char kPath60[] = "/sbin/tunein-station.pls?id=1234567890123&k=Lq3Vt8Nw5Rz1Hk6P";

void set_text(char* field, size_t size, const char* text) {
    ASSERT_LT(std::strlen(text), size) << text;
    std::memset(field, 0, size);
    std::memcpy(field, text, std::strlen(text));
}
#define SET(field, text) set_text(field, sizeof field, text)

void set_station(StationEntry* s, uint16_t index, const char* path, const char* genre, const char* name, uint16_t lc,
                 uint16_t br, const char* mt) {
    std::memset(s, 0, sizeof *s);
    s->index = index;
    SET(s->tuneinpath, path);
    SET(s->genre, genre);
    SET(s->name, name);
    s->lc = lc;
    s->used = 1;
    s->br = br;
    SET(s->mt, mt);
}

// A genre page of 7 stations, the second of two pages.
StationPage seven_station_page() {
    StationPage p;
    std::memset(&p, 0, sizeof p);
    p.pagenum = 2;
    p.pagetotal = 65535;
    SET(p.prevpagehref, "sgenre=Pop&startat=0");
    SET(p.nextpagehref, "sgenre=Pop&startat=40");
    SET(p.genreprefix, "sgenre=");
    for (int i = 0; i < kGenres; ++i) {
        SET(p.genrename[i], kGenreNames[i]);
        SET(p.genrevalue[i], kGenreNames[i]);
    }
    set_station(&p.stations[0], 1, "/sbin/tunein-station.pls?id=101", "Pop", "Pop Hits One", 1200, 128, "audio");
    set_station(&p.stations[1], 2, "/sbin/tunein-station.pls?id=102", "", "No Genre Radio", 65535, 320, "audio");
    set_station(&p.stations[2], 3, "/sbin/tunein-station.pls?id=103", "Pop", "Top 40 & More", 0, 64, "video");
    set_station(&p.stations[3], 4, "/sbin/tunein-station.pls?id=104", "Pop", "", 7, 96, "");
    set_station(&p.stations[4], 5, "/sbin/tunein-station.pls?id=105", "Dance Pop", "Club Five", 55, 192, "audio");
    set_station(&p.stations[5], 6, "/sbin/tunein-station.pls?id=106", "Pop", "Six FM", 6, 24, "audio");
    set_station(&p.stations[6], 7, kPath60, "Pop", "Seventh Heaven", 700, 256, "audio");
    p.stationtotal = 7;
    SET(p.pagefilename, "/tmp/hdd/root/irf/PopPage2");
    return p;
}

// The page file of seven_station_page(), line by line.
std::string seven_station_text() {
    std::string t =
        "2\n"
        "65535\n"
        "sgenre=Pop&startat=0\n"
        "sgenre=Pop&startat=40\n"
        "sgenre=\n";
    const std::string genres =
        "Alternative\nBlues\nClassical\nCountry\nDecades\nEasy Listening\nElectronic\nFolk\nInspirational\n"
        "International\nJazz\nLatin\nMetal\nMisc\nNew Age\nPop\nR&B and Urban\nRap\nReggae\n";
    t += genres;  // genrename
    t += genres;  // genrevalue
    t += "1\n/sbin/tunein-station.pls?id=101\nPop\nPop Hits One\n1200\n1\n128\naudio\n"
         "2\n/sbin/tunein-station.pls?id=102\n\nNo Genre Radio\n65535\n1\n320\naudio\n"
         "3\n/sbin/tunein-station.pls?id=103\nPop\nTop 40 & More\n0\n1\n64\nvideo\n"
         "4\n/sbin/tunein-station.pls?id=104\nPop\n\n7\n1\n96\n\n"
         "5\n/sbin/tunein-station.pls?id=105\nDance Pop\nClub Five\n55\n1\n192\naudio\n"
         "6\n/sbin/tunein-station.pls?id=106\nPop\nSix FM\n6\n1\n24\naudio\n"
         "7\n/sbin/tunein-station.pls?id=1234567890123&k=Lq3Vt8Nw5Rz1Hk6P\nPop\nSeventh Heaven\n700\n1\n256\naudio\n";
    for (int row = 8; row <= 20; ++row) t += "0\n\n\n\n0\n0\n0\n\n";
    t += "7\n"
         "/tmp/hdd/root/irf/PopPage2\n";
    return t;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// A page file given line by line: lines[0] is line 1. Every line ends in a
// line feed.
void put_page_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    put_file(kPageFile, text);
}

void scribble_page() { std::memset(&station_page, 0x5A, sizeof station_page); }

class PageFileTest : public ExchangeDirTest {};

TEST_F(PageFileTest, SevenStationPageReplacesTheOldFileWith205ExactLines) {
    put_file(kPageFile, std::string(20000, 'x') + "\n");
    const StationPage page = seven_station_page();
    start_stdout();
    ASSERT_EQ(write_page_file(&page), 1);
    EXPECT_EQ(end_stdout(), "pagefilename = '/tmp/hdd/root/irf/PopPage2'\n");

    const std::string text = slurp(kPageFile);
    EXPECT_EQ(text, seven_station_text());
    EXPECT_EQ(split_lines(text).size(), 205u);
    // Nothing but the page file stays behind.
    EXPECT_EQ(list_dir(), std::vector<std::string>{"outfile_1"});
}

TEST_F(PageFileTest, WrittenPageReadsBackWithLineFeedsKeptInTextFields) {
    const StationPage page = seven_station_page();
    start_stdout();
    ASSERT_EQ(write_page_file(&page), 1);
    end_stdout();

    scribble_page();
    start_stdout();
    ASSERT_EQ(read_page_file(&station_page), 1);
    EXPECT_EQ(end_stdout(),
              "pagefilename line='/tmp/hdd/root/irf/PopPage2\n'\n"
              "pagefilename='/tmp/hdd/root/irf/PopPage2'\n");

    const StationPage& r = station_page;
    EXPECT_EQ(r.pagenum, 2);
    EXPECT_EQ(r.pagetotal, 65535);
    EXPECT_STREQ(r.prevpagehref, "sgenre=Pop&startat=0\n");
    EXPECT_STREQ(r.nextpagehref, "sgenre=Pop&startat=40\n");
    EXPECT_STREQ(r.genreprefix, "sgenre=\n");
    for (int i = 0; i < kGenres; ++i) {
        EXPECT_EQ(std::string(r.genrename[i]), std::string(kGenreNames[i]) + "\n");
        EXPECT_EQ(std::string(r.genrevalue[i]), std::string(kGenreNames[i]) + "\n");
    }

    const StationEntry& s1 = r.stations[0];
    EXPECT_EQ(s1.index, 1);
    EXPECT_STREQ(s1.tuneinpath, "/sbin/tunein-station.pls?id=101\n");
    EXPECT_STREQ(s1.genre, "Pop\n");
    EXPECT_STREQ(s1.name, "Pop Hits One\n");
    EXPECT_EQ(s1.lc, 1200);
    EXPECT_EQ(s1.used, 1);
    EXPECT_EQ(s1.br, 128);
    EXPECT_STREQ(s1.mt, "audio\n");

    EXPECT_STREQ(r.stations[1].genre, "\n");
    EXPECT_EQ(r.stations[1].lc, 65535);
    EXPECT_STREQ(r.stations[3].name, "\n");
    EXPECT_STREQ(r.stations[3].mt, "\n");

    // 60 characters fill the field: the line feed does not fit.
    const StationEntry& s7 = r.stations[6];
    EXPECT_EQ(s7.index, 7);
    EXPECT_STREQ(s7.tuneinpath, kPath60);
    EXPECT_STREQ(s7.genre, "Pop\n");
    EXPECT_STREQ(s7.name, "Seventh Heaven\n");
    EXPECT_EQ(s7.lc, 700);
    EXPECT_EQ(s7.br, 256);

    // Rows 8 to 20 read "0" and empty lines: numbers zero, texts one line feed.
    for (int k = 7; k < kPageStations; ++k) {
        const StationEntry& s = r.stations[k];
        EXPECT_EQ(s.index, 0) << k;
        EXPECT_STREQ(s.tuneinpath, "\n") << k;
        EXPECT_STREQ(s.genre, "\n") << k;
        EXPECT_STREQ(s.name, "\n") << k;
        EXPECT_EQ(s.lc + s.used + s.br, 0) << k;
        EXPECT_STREQ(s.mt, "\n") << k;
    }
    EXPECT_EQ(r.stationtotal, 7);
    EXPECT_STREQ(r.pagefilename, "/tmp/hdd/root/irf/PopPage2");
    // The rest of pagefilename is zero bytes: the line feed is gone, not hidden.
    EXPECT_TRUE(test_files::all_zero(r.pagefilename + 26, sizeof r.pagefilename - 26));
    // Bytes past each terminator were cleared, not left from before the read.
    EXPECT_TRUE(test_files::all_zero(s1.genre + 4, sizeof s1.genre - 4));
}

TEST_F(PageFileTest, NumbersAreKeptModulo65536AndFieldsFollowTheLineLayout) {
    std::vector<std::string> lines(205);
    lines[1 - 1] = "70000";       // pagenum
    lines[2 - 1] = "65536";       // pagetotal
    lines[3 - 1] = "prev";
    lines[5 - 1] = "sgenre=";
    lines[6 - 1] = "First genre";
    lines[24 - 1] = "Last genre";
    lines[25 - 1] = "First value";
    lines[43 - 1] = "Last value";
    lines[44 - 1] = " 12abc";     // row 1 index
    lines[45 - 1] = "/row1";
    lines[48 - 1] = "131071";     // row 1 lc
    lines[49 - 1] = "abc";        // row 1 used
    lines[50 - 1] = "-1";         // row 1 br
    lines[51 - 1] = "mp3";
    lines[196 - 1] = "20";        // row 20 index
    lines[199 - 1] = "Last row";  // row 20 name
    lines[203 - 1] = "aac";       // row 20 mt
    lines[204 - 1] = "65535";     // stationtotal
    lines[205 - 1] = "/tmp/hdd/root/irf/Page1";
    put_page_lines(lines);

    start_stdout();
    ASSERT_EQ(read_page_file(&station_page), 1);
    end_stdout();
    const StationPage& r = station_page;
    EXPECT_EQ(r.pagenum, 70000 - 65536);
    EXPECT_EQ(r.pagetotal, 0);
    EXPECT_STREQ(r.prevpagehref, "prev\n");
    EXPECT_STREQ(r.nextpagehref, "\n");
    EXPECT_STREQ(r.genrename[0], "First genre\n");
    EXPECT_STREQ(r.genrename[18], "Last genre\n");
    EXPECT_STREQ(r.genrevalue[0], "First value\n");
    EXPECT_STREQ(r.genrevalue[18], "Last value\n");
    EXPECT_EQ(r.stations[0].index, 12);
    EXPECT_STREQ(r.stations[0].tuneinpath, "/row1\n");
    EXPECT_EQ(r.stations[0].lc, 65535);
    EXPECT_EQ(r.stations[0].used, 0);
    EXPECT_EQ(r.stations[0].br, 65535);
    EXPECT_STREQ(r.stations[0].mt, "mp3\n");
    EXPECT_EQ(r.stations[19].index, 20);
    EXPECT_STREQ(r.stations[19].name, "Last row\n");
    EXPECT_STREQ(r.stations[19].mt, "aac\n");
    EXPECT_EQ(r.stationtotal, 65535);
    EXPECT_STREQ(r.pagefilename, "/tmp/hdd/root/irf/Page1");
}

TEST_F(PageFileTest, OverlongLinesAreCutToTheirFieldsWithoutShiftingOthers) {
    std::vector<std::string> lines(205);
    lines[3 - 1] = std::string(100, 'p');   // prevpagehref holds 60
    lines[6 - 1] = std::string(45, 'g');    // genrename[0] holds 39
    lines[45 - 1] = std::string(61, 't');   // tuneinpath holds 60
    lines[46 - 1] = std::string(39, 'G');   // genre: exactly full
    lines[47 - 1] = std::string(1 << 20, 'n');  // name holds 149; the rest is skipped, not stored
    lines[48 - 1] = "42";
    lines[49 - 1] = std::string(30, ' ') + "42";  // a number line is cut to 31 bytes
    lines[51 - 1] = "audio/mpeg";           // mt holds 9
    lines[204 - 1] = "1";
    lines[205 - 1] = std::string(120, 'f');  // pagefilename holds 99, its echo the line's first 100 bytes
    put_page_lines(lines);

    start_stdout();
    ASSERT_EQ(read_page_file(&station_page), 1);
    EXPECT_EQ(end_stdout(), "pagefilename line='" + std::string(100, 'f') + "'\npagefilename='" +
                                std::string(99, 'f') + "'\n");
    const StationPage& r = station_page;
    EXPECT_EQ(std::string(r.prevpagehref), std::string(60, 'p'));
    EXPECT_STREQ(r.nextpagehref, "\n");
    EXPECT_EQ(std::string(r.genrename[0]), std::string(39, 'g'));
    EXPECT_STREQ(r.genrename[1], "\n");
    EXPECT_EQ(std::string(r.stations[0].tuneinpath), std::string(60, 't'));
    EXPECT_EQ(std::string(r.stations[0].genre), std::string(39, 'G'));
    EXPECT_EQ(std::string(r.stations[0].name), std::string(149, 'n'));
    EXPECT_EQ(r.stations[0].lc, 42);
    EXPECT_EQ(r.stations[0].used, 4);
    EXPECT_STREQ(r.stations[0].mt, "audio/mpe");
    EXPECT_EQ(r.stationtotal, 1);
    EXPECT_EQ(std::string(r.pagefilename), std::string(99, 'f'));
}

TEST_F(PageFileTest, TwoLineFileSetsPageNumbersOnlyAndPrintsNothing) {
    put_file(kPageFile, "3\n4\n");
    scribble_page();
    start_stdout();
    ASSERT_EQ(read_page_file(&station_page), 1);
    EXPECT_EQ(end_stdout(), "");

    StationPage expected;
    std::memset(&expected, 0, sizeof expected);
    expected.pagenum = 3;
    expected.pagetotal = 4;
    EXPECT_EQ(std::memcmp(&station_page, &expected, sizeof expected), 0);
}

TEST_F(PageFileTest, PageFilenameWithoutFinalLineFeedIsTakenWhole) {
    std::vector<std::string> lines(204);
    lines[204 - 1] = "0";
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    put_file(kPageFile, text + "/tmp/hdd/root/irf/RockPage3");
    start_stdout();
    ASSERT_EQ(read_page_file(&station_page), 1);
    EXPECT_EQ(end_stdout(),
              "pagefilename line='/tmp/hdd/root/irf/RockPage3'\n"
              "pagefilename='/tmp/hdd/root/irf/RockPage3'\n");
    EXPECT_STREQ(station_page.pagefilename, "/tmp/hdd/root/irf/RockPage3");
}

TEST_F(PageFileTest, LineFeedInsideATextShiftsEveryLaterField) {
    StationPage page = seven_station_page();
    SET(page.stations[0].name, "Radio\nOne");
    start_stdout();
    ASSERT_EQ(write_page_file(&page), 1);
    end_stdout();
    EXPECT_EQ(split_lines(slurp(kPageFile)).size(), 206u);

    start_stdout();
    ASSERT_EQ(read_page_file(&station_page), 1);
    // The last field read is the line that was meant as stationtotal.
    EXPECT_EQ(end_stdout(), "pagefilename line='7\n'\npagefilename='7'\n");
    const StationPage& r = station_page;
    EXPECT_STREQ(r.stations[0].name, "Radio\n");
    EXPECT_EQ(r.stations[0].lc, 0);     // "One"
    EXPECT_EQ(r.stations[0].used, 1200);
    EXPECT_EQ(r.stations[0].br, 1);
    EXPECT_STREQ(r.stations[0].mt, "128\n");
    EXPECT_EQ(r.stations[1].index, 0);  // "audio"
    EXPECT_STREQ(r.stations[1].tuneinpath, "2\n");
    EXPECT_EQ(r.stationtotal, 0);       // row 20's empty mt
    EXPECT_STREQ(r.pagefilename, "7");
}

TEST_F(PageFileTest, MissingFileLeavesTheRecordZero) {
    scribble_page();
    start_stdout();
    EXPECT_EQ(read_page_file(&station_page), 0);
    EXPECT_EQ(end_stdout(), "");
    EXPECT_TRUE(test_files::all_zero(&station_page, sizeof station_page));
}

}  // namespace
