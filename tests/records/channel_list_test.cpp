// The channel list files "/tmp/hdd/root/outfile_2" and
// "/tmp/hdd/root/outfile_3" written from the playlist table.
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "records/channel_list.h"
#include "records/exchange_dir.h"

namespace {

using namespace records_test;

struct Writer {
    const char* name;
    bool (*write)(const PlaylistEntry*, unsigned);
    const char* path;
    const char* file;
};
void PrintTo(const Writer& w, std::ostream* os) { *os << w.name; }
const Writer kStation{"station", write_channel_list, kChannelListFile, "outfile_2"};
const Writer kFavourite{"favourite", write_fav_channel_list, kFavChannelListFile, "outfile_3"};

// A table with rows past the 50 of the playlist table, as many as an 8-bit
// count can name, to show that the writer never reaches them.
struct Table {
    PlaylistEntry rows[256];
    Table() { std::memset(rows, 0, sizeof rows); }
    void set(int i, const std::string& url, const std::string& title) {
        std::memset(&rows[i], 0, sizeof rows[i]);
        std::memcpy(rows[i].url, url.data(), url.size());
        std::memcpy(rows[i].title, title.data(), title.size());
    }
};

class ChannelListTest : public ExchangeDirTest, public testing::WithParamInterface<Writer> {
protected:
    int write(const Table& t, unsigned count) {
        start_stdout();
        const int r = GetParam().write(t.rows, count);
        EXPECT_EQ(end_stdout(), "");
        return r;
    }
    std::string written() { return slurp(GetParam().path); }
};

TEST_P(ChannelListTest, EmptyListIsTheCountLineAlone) {
    Table t;
    t.set(0, "http://stale.example:8000/", "Stale");
    ASSERT_EQ(write(t, 0), 1);
    EXPECT_EQ(written(), "0\n");
    EXPECT_EQ(list_dir(), std::vector<std::string>{GetParam().file});
}

TEST_P(ChannelListTest, TwoRowsGiveFiveLines) {
    Table t;
    t.set(0, "http://198.51.100.7:8000/", "(#1 - 12/500) Jazz Radio");
    t.set(1, "http://198.51.100.8:8010/stream", "(#2 - 0/100) Jazz Radio");
    ASSERT_EQ(write(t, 2), 1);
    EXPECT_EQ(written(),
              "2\n"
              "http://198.51.100.7:8000/\n"
              "(#1 - 12/500) Jazz Radio\n"
              "http://198.51.100.8:8010/stream\n"
              "(#2 - 0/100) Jazz Radio\n");
}

TEST_P(ChannelListTest, FullWidthValuesAndEmptyFieldsStayOnTheirOwnLines) {
    Table t;
    const std::string url99 = "http://" + std::string(92, 'u');
    const std::string title127(127, 't');
    t.set(0, url99, title127);
    t.set(1, "", "");
    t.set(2, "http://x/", "");
    ASSERT_EQ(write(t, 3), 1);
    EXPECT_EQ(written(), "3\n" + url99 + "\n" + title127 + "\n\n\nhttp://x/\n\n");
}

TEST_P(ChannelListTest, OldLongerFileIsReplacedCompletely) {
    put_file(GetParam().path, "3\nhttp://a/\nA\nhttp://b/\nB\nhttp://c/\n" + std::string(5000, 'C') + "\n");
    Table t;
    t.set(0, "http://d/", "D");
    ASSERT_EQ(write(t, 1), 1);
    EXPECT_EQ(written(), "1\nhttp://d/\nD\n");
    EXPECT_EQ(list_dir(), std::vector<std::string>{GetParam().file});
}

TEST_P(ChannelListTest, RowsPastTheCountAreNeverWritten) {
    Table t;
    for (int i = 0; i < 5; ++i) t.set(i, "http://row" + std::to_string(i) + "/", "Row " + std::to_string(i));
    ASSERT_EQ(write(t, 2), 1);
    EXPECT_EQ(written(), "2\nhttp://row0/\nRow 0\nhttp://row1/\nRow 1\n");
}

TEST_P(ChannelListTest, CountAboveTheTableIsClampedTo50) {
    static Table t;
    std::string expected = "50\n";
    for (int i = 0; i < kPlaylistRows; ++i) {
        t.set(i, "http://s" + std::to_string(i) + "/", "T" + std::to_string(i));
        expected += "http://s" + std::to_string(i) + "/\nT" + std::to_string(i) + "\n";
    }
    for (int i = kPlaylistRows; i < 256; ++i) t.set(i, "http://beyond/", "Beyond");
    ASSERT_EQ(write(t, 50), 1);
    EXPECT_EQ(written(), expected);
    ASSERT_EQ(write(t, 51), 1);
    EXPECT_EQ(written(), expected);
    ASSERT_EQ(write(t, 100), 1);
    EXPECT_EQ(written(), expected);
    ASSERT_EQ(write(t, 255), 1);
    EXPECT_EQ(written(), expected);
}

INSTANTIATE_TEST_SUITE_P(BothFiles, ChannelListTest, testing::Values(kStation, kFavourite),
                         [](const testing::TestParamInfo<Writer>& i) { return std::string(i.param.name); });

class ChannelListFilesTest : public ExchangeDirTest {};

TEST_F(ChannelListFilesTest, EachWriterTouchesOnlyItsOwnFile) {
    Table t;
    t.set(0, "http://fav/", "Fav");
    put_file(kChannelListFile, "1\nhttp://station/\nStation\n");
    ASSERT_EQ(write_fav_channel_list(t.rows, 1), 1);
    EXPECT_EQ(slurp(kFavChannelListFile), "1\nhttp://fav/\nFav\n");
    EXPECT_EQ(slurp(kChannelListFile), "1\nhttp://station/\nStation\n");
    EXPECT_EQ(list_dir(), (std::vector<std::string>{"outfile_2", "outfile_3"}));
}

}  // namespace
