// The PLS parser, the playlist cache names, and parse_pls on cached files
// (no download: the cache file is put in place before each call).
#include "playlist/pls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/storage_root.h"
#include "platform/text.h"
#include "records/channel_list.h"
#include "records/station_page.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

struct Parsed {
    int ok;
    int count;  // -1: left untouched
    int reason;
    std::string out;
};

// Fills every byte of the table, so that a test sees what the parser wrote.
void scribble_table() { std::memset(playlist_table, '#', sizeof playlist_table); }

void clear_table() { std::memset(playlist_table, 0, sizeof playlist_table); }

// Parses `text` from a heap buffer holding exactly the text and its end mark.
Parsed parse(const std::string& text) {
    clear_table();
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    uint8_t count = 0xEE;
    testing::internal::CaptureStdout();
    const PlsFault fault = parse_pls_text(buf.data(), &count);
    Parsed p{fault == PlsFault::kNone, count == 0xEE ? -1 : count, static_cast<int>(fault),
             testing::internal::GetCapturedStdout()};
    return p;
}

Rows rows(int n) {
    Rows r;
    for (int i = 0; i < n; ++i) r.emplace_back(playlist_table[i].url, playlist_table[i].title);
    return r;
}

// Rows from `from` on hold nothing but zero bytes.
bool zero_from(int from) {
    const auto* p = reinterpret_cast<const unsigned char*>(&playlist_table[from]);
    const size_t n = sizeof(PlaylistEntry) * static_cast<size_t>(kPlaylistRows - from);
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

// A playlist with entries 1..n, lines ended by `eol`.
std::string pls(const std::string& count, int n, const std::string& eol = "\n") {
    std::string s = "[playlist]" + eol + "numberofentries=" + count + eol;
    for (int i = 1; i <= n; ++i) {
        s += "File" + std::to_string(i) + "=http://10.0.0.1:" + std::to_string(8000 + i) + "/" + eol;
        s += "Title" + std::to_string(i) + "=Stream " + std::to_string(i) + eol;
        s += "Length" + std::to_string(i) + "=-1" + eol;
    }
    return s + "Version=2" + eol;
}

Rows streams(int n) {
    Rows r;
    for (int i = 1; i <= n; ++i)
        r.emplace_back("http://10.0.0.1:" + std::to_string(8000 + i) + "/", "Stream " + std::to_string(i));
    return r;
}

const char kMissingFile[] = "Failed to Search File in *.pls\n";
const char kMissingTitle[] = "Failed to Search Title in *.pls\n";

TEST(ParsePlsText, HeaderFirstThenTheCountKeyInItsCase) {
    const std::string body = "[playlist]\nnumberofentries=1\nFile1=http://a/\nTitle1=A\n";
    const struct {
        std::string text;
        int reason;
    } cases[] = {
        // The header must be the very first bytes, in small letters.
        {"\n" + body, 1}, {"\r\n" + body, 1}, {" " + body, 1}, {"\xEF\xBB\xBF" + body, 1}, {"x" + body, 1},
        {"[Playlist]\nnumberofentries=1\nFile1=a\nTitle1=b\n", 1}, {"", 1},
        {"numberofentries=1\nFile1=a\nTitle1=b\n[playlist]\n", 1},
        // The count key is required, exactly so.
        {"[playlist]\nNumberOfEntries=1\nFile1=a\nTitle1=b\n", 2},
        {"[playlist]\nNUMBEROFENTRIES=1\nFile1=a\nTitle1=b\n", 2},
        {"[playlist]\nnumberofentries 1\nFile1=a\nTitle1=b\n", 2}, {"[playlist]", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Parsed p = parse(c.text);
        EXPECT_EQ(p.ok, 0);
        EXPECT_EQ(p.reason, c.reason);
        EXPECT_EQ(p.count, -1);
        EXPECT_EQ(p.out, "");  // parse_pls prints the message
        EXPECT_TRUE(zero_from(0));
    }
}

TEST(ParsePlsText, CountAgainstEntriesPresent) {
    struct Case {
        std::string count;
        int present;
        int rows;
        std::string out;
    };
    const Case cases[] = {
        {"0", 1, 1, ""},            // the body runs once before the test
        {"0", 0, 0, kMissingFile},  // ... and reports the missing entry 1
        {"1", 1, 1, ""},
        {"2", 3, 2, ""},            // entry 3 is never looked at
        {"3", 2, 2, kMissingFile},
        {"300", 60, 44, ""},        // modulo 256
        {"556", 60, 44, ""},
        {"256", 3, 1, ""},          // 0 again
        {"-1", 3, 3, kMissingFile}, // 255
        {" 7", 9, 7, ""},
        {"   7", 9, 7, ""},
        {"+7", 9, 7, ""},
        {"+ 7", 9, 7, ""},
        {"7x", 9, 7, ""},
        {"7 8", 9, 7, ""},
        {"\t7", 9, 1, ""},          // only blanks are skipped: 0
        {"x7", 9, 1, ""},
        {"", 9, 1, ""},
    };
    for (const Case& c : cases) {
        const Parsed p = parse(pls(c.count, c.present));
        EXPECT_EQ(p.ok, 1) << "count [" << c.count << "]";
        EXPECT_EQ(p.count, c.rows) << "count [" << c.count << "]";
        EXPECT_EQ(p.out, c.out) << "count [" << c.count << "]";
        EXPECT_EQ(rows(c.rows), streams(c.rows)) << "count [" << c.count << "]";
        EXPECT_TRUE(zero_from(c.rows)) << "count [" << c.count << "]";
    }
}

TEST(ParsePlsText, CountLineEndsTheNumber) {
    // Digits on the next line are not part of the count.
    const Parsed p = parse("[playlist]\nnumberofentries=\n2\nFile1=a\nTitle1=A\nFile2=b\nTitle2=B\n");
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.out, "");
    const Parsed cr = parse("[playlist]\rnumberofentries=1\r2\rFile1=a\rTitle1=A\rFile2=b\rTitle2=B\r");
    EXPECT_EQ(cr.count, 1);
}

TEST(ParsePlsText, TitleMissingKeepsUrlButDoesNotCountIt) {
    Parsed p = parse("[playlist]\nnumberofentries=1\nFile1=http://a/\n");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.count, 0);
    EXPECT_EQ(p.out, kMissingTitle);
    EXPECT_STREQ(playlist_table[0].url, "http://a/");
    EXPECT_STREQ(playlist_table[0].title, "");

    p = parse(pls("3", 1) + "File2=http://b/\n");
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.out, kMissingTitle);
    EXPECT_EQ(rows(1), streams(1));
    EXPECT_STREQ(playlist_table[1].url, "http://b/");
    EXPECT_TRUE(zero_from(2));
}

TEST(ParsePlsText, KeysAnywhereFirstOccurrenceExactCase) {
    const Parsed p = parse(
        "[playlist]\n"
        "Title2=Second\n"
        "x numberofentries=2 trailing\n"
        "numberofentries=9\n"
        "XFile1=http://first/\n"    // found inside a line
        "File1=http://later/\n"
        "file2=http://lower/\n"     // wrong case: not File2=
        "File2=http://second/\n"
        "Title1=First\n"
        "Title1=Again\n"
        "File10=http://tenth/\n");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(rows(2), (Rows{{"http://first/", "First"}, {"http://second/", "Second"}}));
}

TEST(ParsePlsText, LineEndsGiveTheSameRows) {
    for (const std::string eol : {"\r\n", "\n", "\r"}) {
        const Parsed p = parse(pls("3", 3, eol));
        EXPECT_EQ(p.count, 3);
        EXPECT_EQ(p.out, "");
        EXPECT_EQ(rows(3), streams(3));
    }
    // Mixed, and a value ended by the other kind of line end.
    const Parsed p = parse("[playlist]\r\nnumberofentries=2\nFile1=u1\r\r\nTitle1=t1\n\rFile2=u2\rTitle2=t2\r\n");
    EXPECT_EQ(rows(p.count), (Rows{{"u1", "t1"}, {"u2", "t2"}}));
}

TEST(ParsePlsText, EmptyValuesAndLastLineWithoutLineEnd) {
    Parsed p = parse("[playlist]\nnumberofentries=2\nFile1=\nTitle1=\r\nFile2=\rTitle2=");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(rows(2), (Rows{{"", ""}, {"", ""}}));
    EXPECT_TRUE(zero_from(0));

    p = parse("[playlist]\nnumberofentries=1\nTitle1=Title\nFile1=http://last/");
    EXPECT_EQ(rows(p.count), (Rows{{"http://last/", "Title"}}));
    p = parse("[playlist]\nnumberofentries=1\nFile1=u\nTitle1=end");
    EXPECT_EQ(rows(p.count), (Rows{{"u", "end"}}));
    // The count itself on the last line.
    p = parse("[playlist]\nFile1=u\nTitle1=t\nnumberofentries=1");
    EXPECT_EQ(rows(p.count), (Rows{{"u", "t"}}));
}

TEST(ParsePlsText, ValuesAreCutToTheirFields) {
    const std::string url99(99, 'u'), title127(127, 't');
    Parsed p = parse("[playlist]\nnumberofentries=2\nFile1=" + url99 + "\nTitle1=" + title127 + "\nFile2=" +
                     url99 + "XYZ\nTitle2=" + title127 + "XYZ\n");
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(rows(2), (Rows{{url99, title127}, {url99, title127}}));
    // The last byte of each field is its terminator, and the next row starts clean.
    EXPECT_EQ(playlist_table[1].url[99], '\0');
    EXPECT_EQ(playlist_table[1].title[127], '\0');
    EXPECT_TRUE(zero_from(2));

    // Cut values fill their field, then zero bytes; a short value after a
    // long one leaves no trace of it.
    const std::string long_text(300, 'L');
    p = parse("[playlist]\nnumberofentries=1\nFile1=" + long_text + "\nTitle1=" + long_text);
    EXPECT_EQ(rows(1), (Rows{{std::string(99, 'L'), std::string(127, 'L')}}));
    EXPECT_TRUE(zero_from(1));
}

TEST(ParsePlsText, MoreThanFiftyEntriesGiveFiftyRows) {
    for (const std::string count : {"60", "255", "-1", "50"}) {
        // Entries 51 to 60 are never read: an entry past the table would
        // land in whatever lies behind it (the asan build catches that).
        const Parsed p = parse(pls(count, 60));
        EXPECT_EQ(p.ok, 1) << count;
        EXPECT_EQ(p.count, 50) << count;
        EXPECT_EQ(p.out, "") << count;
        EXPECT_EQ(rows(50), streams(50)) << count;
    }
    // 51 announced, 50 present: the table is full before entry 51 is sought.
    const Parsed p = parse(pls("51", 50));
    EXPECT_EQ(p.count, 50);
    EXPECT_EQ(p.out, "");
}

// --- cache names ---

class CacheName : public testing::Test {
  protected:
    void SetUp() override {
        std::memset(&station_page, 0, sizeof station_page);
        copy_text(storage_root, kDiskRoot, sizeof storage_root);
        copy_text(station_page.pagefilename, "/tmp/hdd/root/irf/PopPage1", sizeof station_page.pagefilename);
    }
    static StationEntry station(uint16_t index, const char* path) {
        StationEntry st;
        std::memset(&st, 0, sizeof st);
        st.index = index;
        copy_text(st.tuneinpath, path, sizeof st.tuneinpath);
        return st;
    }
    // The name for `st` after `prefix`, or "<fails>"; checks the buffer's
    // bounds too.
    static std::string name(const StationEntry& st, const std::string& prefix) {
        char buf[kPlsNameSize + 16];
        std::memset(buf, '@', sizeof buf);
        const bool ok = playlist_cache_name(buf, kPlsNameSize, prefix.c_str(), &st);
        for (size_t i = kPlsNameSize; i < sizeof buf; ++i) EXPECT_EQ(buf[i], '@') << "written past the name";
        EXPECT_NE(std::memchr(buf, '\0', kPlsNameSize), nullptr);
        return ok ? std::string(buf) : "<fails>";
    }
};

const char kPath1[] = "/sbin/tunein-station.pls?id=1001";  // FNV-1a 76f2a113
const char kPath2[] = "/sbin/tunein-station.pls?id=1002";  // FNV-1a 77f2a2a6

const char kPage[] = "/tmp/hdd/root/irf/PopPage1";
const char kFavourite[] = "/tmp/hdd/root/irf/favorite";

TEST_F(CacheName, PrefixPositionAndStation) {
    EXPECT_EQ(name(station(3, kPath1), kPage), "/tmp/hdd/root/irf/PopPage1_station3_76f2a113.pls");
    EXPECT_EQ(name(station(0, kPath1), kFavourite), "/tmp/hdd/root/irf/favorite_station0_76f2a113.pls");
    EXPECT_EQ(name(station(65535, ""), kFavourite), "/tmp/hdd/root/irf/favorite_station65535_811c9dc5.pls");
    // Same position, other station: another file.
    EXPECT_NE(name(station(3, kPath1), kPage), name(station(3, kPath2), kPage));
    // The line feed that a record read from a file keeps is not part of it.
    const std::string plain = name(station(3, kPath1), kPage);
    EXPECT_EQ(name(station(3, "/sbin/tunein-station.pls?id=1001\n"), kPage), plain);
    EXPECT_EQ(name(station(3, "/sbin/tunein-station.pls?id=1001\r\n"), kPage), plain);
    EXPECT_EQ(name(station(3, "/sbin/tunein-station.pls?id=1001\nid=2"), kPage), plain);
}

TEST_F(CacheName, TooLongFails) {
    // "_station3_xxxxxxxx.pls" is 22 characters: 77 + 22 = 99 fits exactly.
    const std::string base77 = "/tmp/hdd/root/irf/" + std::string(59, 'g');
    EXPECT_EQ(name(station(3, kPath1), base77), base77 + "_station3_76f2a113.pls");
    EXPECT_EQ(name(station(30, kPath1), base77), "<fails>");
    EXPECT_EQ(name(station(1, kPath1), std::string(99, 'p')), "<fails>");
}

// --- parse_pls on a cached playlist (disk storage root) ---

const std::string kEntry = "\n 259, parse_pls, patch_Zorv_getlpls \n";
const std::string kReadFile = "\n 185, read_file, patch_Zorv_getlpls \n";

class ParsePlsCached : public CacheName {
  protected:
    void SetUp() override {
        CacheName::SetUp();
        mkdir("/tmp/hdd/root/irf", 0755);
    }
    static void put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
    // Runs parse_pls; count starts at 77 so that "left unchanged" shows.
    static Parsed run(const StationEntry& st, uint8_t favourite) {
        scribble_table();
        uint8_t count = 77;
        testing::internal::CaptureStdout();
        const int ok = parse_pls(st, &count, favourite != 0 ? nullptr : station_page.pagefilename);
        return Parsed{ok, count, 0, testing::internal::GetCapturedStdout()};
    }
};

TEST_F(ParsePlsCached, ReusesCachedPlaylist) {
    const std::string file = "/tmp/hdd/root/irf/PopPage1_station2_76f2a113.pls";
    put(file, pls("2", 2, "\r\n"));
    const Parsed p = run(station(2, "/sbin/tunein-station.pls?id=1001\n"), 0);
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(p.out, kEntry + file + " is exist\n" + kReadFile);
    EXPECT_EQ(rows(2), streams(2));
    EXPECT_TRUE(zero_from(2));  // the table was cleared before the fill
    EXPECT_TRUE(exists(file));

    const std::string fav = "/tmp/hdd/root/irf/favorite_station0_77f2a2a6.pls";
    put(fav, "[playlist]\nnumberofentries=1\nFile1=http://fav/\n");
    const Parsed f = run(station(0, kPath2), 1);
    EXPECT_EQ(f.ok, 1);
    EXPECT_EQ(f.count, 0);
    EXPECT_EQ(f.out, kEntry + fav + " is exist\n" + kReadFile + kMissingTitle);
}

TEST_F(ParsePlsCached, NotAPlaylistIsRemoved) {
    const std::string file = "/tmp/hdd/root/irf/favorite_station4_76f2a113.pls";
    put(file, "<html>Not found</html>\n");
    Parsed p = run(station(4, kPath1), 1);
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.count, 77);
    EXPECT_EQ(p.out, kEntry + file + " is exist\n" + kReadFile);
    EXPECT_TRUE(zero_from(0));
    EXPECT_FALSE(exists(file));

    put(file, "[playlist]\nNumberOfEntries=1\nFile1=u\nTitle1=t\n");
    p = run(station(4, kPath1), 1);
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.count, 77);
    EXPECT_EQ(p.out, kEntry + file + " is exist\n" + kReadFile + "Failed to Searchnumberofentries in * pls\n");
    EXPECT_TRUE(zero_from(0));
    EXPECT_FALSE(exists(file));
}

TEST_F(ParsePlsCached, NameTooLongOrPathNotFromTheRootFailsBeforeAnything) {
    copy_text(station_page.pagefilename, std::string(90, 'p').c_str(), sizeof station_page.pagefilename);
    const Parsed p = run(station(1, kPath1), 0);
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.count, 77);
    EXPECT_EQ(p.out, kEntry);  // no download, no read
    EXPECT_TRUE(zero_from(0));
    for (const char* path : {"@other.host:8081/x.pls\n", ".evil.example/x.pls", "?id=5", "\n"}) {
        const Parsed f = run(station(1, path), 1);  // the path would follow the host in the URL
        EXPECT_EQ(f.ok, 0) << path;
        EXPECT_EQ(f.out, kEntry) << path;
    }
}

}  // namespace
