// The request files the player's interface writes: the page link in
// "/tmp/hdd/root/infile_1" and the favourite station in
// "/tmp/hdd/root/infile_3".
#include <cstring>
#include <string>

#include "records/exchange_dir.h"
#include "records/request_files.h"

namespace {

using namespace records_test;

// The caller's 256-byte link buffer, cleared as the front end clears it,
// followed by a guard region that must stay untouched.
struct LinkArea {
    char bytes[kPageLinkSize + 64];
    LinkArea() {
        std::memset(bytes, 0, kPageLinkSize);
        std::memset(bytes + kPageLinkSize, 0xA5, sizeof bytes - kPageLinkSize);
    }
    bool guard_intact() const {
        for (size_t i = kPageLinkSize; i < sizeof bytes; ++i)
            if (static_cast<unsigned char>(bytes[i]) != 0xA5) return false;
        return true;
    }
    std::string link() const { return std::string(bytes, strnlen(bytes, kPageLinkSize)); }
};

class PageLinkTest : public ExchangeDirTest {
protected:
    // Writes infile_1, reads it back; the link read, or "<result N>" when the
    // reader did not return 1.
    std::string read_link(const std::string& content) {
        put_file(kPageLinkFile, content);
        start_stdout();
        const int r = read_page_href(area.bytes);
        printed = end_stdout();
        EXPECT_TRUE(area.guard_intact());
        if (r != 1) return "<result " + std::to_string(r) + ">";
        EXPECT_EQ(printed, "\n\nread pageHref=" + area.link() + "!!!!!!\n\n");
        return area.link();
    }
    LinkArea area;
    std::string printed;
};

TEST_F(PageLinkTest, LineFeedsGoOtherBytesStayUpToTheFirstZeroOrTheBuffersEnd) {
    const struct {
        std::string file, link;
    } cases[] = {
        {"sgenre=Pop\n", "sgenre=Pop"},
        {"startat=20", "startat=20"},  // no final line feed: the last character stays
        {"x", "x"},
        {"", ""},
        {"\n", ""},
        {"sgenre=Pop\r\n", "sgenre=Pop\r"},
        {"sgenre=Rock & Roll\t\xC3\xA9\n", "sgenre=Rock & Roll\t\xC3\xA9"},
        {"sgenre=Pop\n&startat=20\n", "sgenre=Pop&startat=20"},
        {"\n\nsgenre=\nJazz\n\n", "sgenre=Jazz"},
        {std::string("sgenre=Pop\0&startat=20\n", 23), "sgenre=Pop"},
        // 255 characters fill the link buffer with its terminator.
        {std::string(400, 'x'), std::string(255, 'x')},
        {std::string(255, 'y') + "\n", std::string(255, 'y')},
        // The first 255 bytes of the file are read; their line feeds are dropped.
        {"sgenre=Pop\n" + std::string(300, 'z'), "sgenre=Pop" + std::string(244, 'z')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.substr(0, 40));
        area = LinkArea();
        EXPECT_EQ(read_link(c.file), c.link);  // printed as read
        EXPECT_EQ(slurp(kPageLinkFile), c.file);  // neither removed nor changed
    }
}

TEST_F(PageLinkTest, MissingFileOrBufferGivesZero) {
    start_stdout();
    EXPECT_EQ(read_page_href(area.bytes), 0);
    EXPECT_EQ(end_stdout(), "");
    EXPECT_EQ(area.link(), "");
    EXPECT_TRUE(area.guard_intact());

    put_file(kPageLinkFile, "sgenre=Pop\n");
    start_stdout();
    EXPECT_EQ(read_page_href(nullptr), 0);
    EXPECT_EQ(end_stdout(), "");
}

class FavStationTest : public ExchangeDirTest {
protected:
    StationEntry zero_station() {
        StationEntry s;
        std::memset(&s, 0, sizeof s);
        return s;
    }
    // Reads infile_3 holding `content` into `st`; returns the result.
    int read_fav(const std::string& content, StationEntry* st) {
        put_file(kFavStationFile, content);
        start_stdout();
        const int r = read_fav_station(st);
        EXPECT_EQ(end_stdout(), "");
        return r;
    }
};

TEST_F(FavStationTest, EightLinesFillTheStationWithLineFeedsKept) {
    StationEntry st = zero_station();
    ASSERT_EQ(read_fav("3\n/sbin/tunein-station.pls?id=99001\nJazz\nSmooth Jazz FM\n120\n1\n128\naudio\n", &st), 1);
    EXPECT_EQ(st.index, 3);
    EXPECT_STREQ(st.tuneinpath, "/sbin/tunein-station.pls?id=99001\n");
    EXPECT_STREQ(st.genre, "Jazz\n");
    EXPECT_STREQ(st.name, "Smooth Jazz FM\n");
    EXPECT_EQ(st.lc, 120);
    EXPECT_EQ(st.used, 1);
    EXPECT_EQ(st.br, 128);
    EXPECT_STREQ(st.mt, "audio\n");
}

TEST_F(FavStationTest, LongLinesAreCutToTheirFieldsWithoutShiftingLaterOnes) {
    StationEntry st = zero_station();
    const std::string name(1 << 20, 'N');  // the rest past the field is skipped, not stored
    ASSERT_EQ(read_fav("70003\n" + std::string(70, 'p') + "\n" + std::string(39, 'g') + "\n" + name +
                           "\n-2\nyes\n65535\naudio/mpeg\nextra line\n",
                       &st),
              1);
    EXPECT_EQ(st.index, 70003 - 65536);
    EXPECT_EQ(std::string(st.tuneinpath), std::string(60, 'p'));
    EXPECT_EQ(std::string(st.genre), std::string(39, 'g'));
    EXPECT_EQ(std::string(st.name), std::string(149, 'N'));
    EXPECT_EQ(st.lc, 65534);
    EXPECT_EQ(st.used, 0);
    EXPECT_EQ(st.br, 65535);
    EXPECT_STREQ(st.mt, "audio/mpe");
}

TEST_F(FavStationTest, LastLineWithoutLineFeedIsTakenAsItIs) {
    StationEntry st = zero_station();
    ASSERT_EQ(read_fav("1\n/p\nPop\nOne\n2\n1\n64\nvideo", &st), 1);
    EXPECT_STREQ(st.mt, "video");
    EXPECT_EQ(st.br, 64);
}

TEST_F(FavStationTest, EmptyFileGivesAnAllZeroStation) {
    StationEntry st = zero_station();
    ASSERT_EQ(read_fav("", &st), 1);
    const StationEntry zero = zero_station();
    EXPECT_EQ(std::memcmp(&st, &zero, sizeof st), 0);
}

TEST_F(FavStationTest, ShortFileLeavesTheMissingFieldsAsTheyWere) {
    StationEntry st = zero_station();
    ASSERT_EQ(read_fav("5\n/sbin/tunein-station.pls?id=5\nRock\n", &st), 1);
    StationEntry expected = zero_station();
    expected.index = 5;
    std::strcpy(expected.tuneinpath, "/sbin/tunein-station.pls?id=5\n");
    std::strcpy(expected.genre, "Rock\n");
    EXPECT_EQ(std::memcmp(&st, &expected, sizeof st), 0);

    // A field the file does not reach keeps what the caller put there.
    StationEntry preset = zero_station();
    preset.lc = 77;
    std::strcpy(preset.mt, "mp3");
    ASSERT_EQ(read_fav("9\n", &preset), 1);
    EXPECT_EQ(preset.index, 9);
    EXPECT_EQ(preset.lc, 77);
    EXPECT_STREQ(preset.mt, "mp3");
}

TEST_F(FavStationTest, MissingFileOrRecordGivesZero) {
    StationEntry st = zero_station();
    st.index = 4;
    start_stdout();
    EXPECT_EQ(read_fav_station(&st), 0);
    EXPECT_EQ(end_stdout(), "");
    EXPECT_EQ(st.index, 4);

    put_file(kFavStationFile, "3\n/p\nJazz\nn\n1\n1\n1\naudio\n");
    EXPECT_EQ(read_fav_station(nullptr), 0);
    EXPECT_EQ(slurp(kFavStationFile), "3\n/p\nJazz\nn\n1\n1\n1\naudio\n");
}

}  // namespace
