// One whole GetActiveServers request in the process, with the page and its
// total file already cached (or the request refused before any download),
// so that no downloader runs: the page record and the files left in the
// storage root. What a request prints is pinned end to end (browse.sh).
#include <sys/stat.h>

#include <gmock/gmock.h>

#include <cstring>
#include <string>

#include "dir_test_util.h"
#include "directory/page_request.h"
#include "platform/storage_root.h"
#include "platform/text.h"
#include "records/station_page.h"

namespace {

using namespace dir_test;

const char kKey[] = "Lq3Vt8Nw5Rz1Hk6P";
const char kOutfile[] = "/tmp/hdd/root/outfile_1";

class GetActiveServersTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(kTestRoot);
        clear_dir(kTestRoot);
        std::remove(kOutfile);
        copy_text(storage_root, kDiskRoot, sizeof storage_root);
        std::memset(&station_page, 0xAB, sizeof station_page);  // the request clears it
    }
    void TearDown() override {
        clear_dir(kTestRoot);
        std::error_code ec;
        std::filesystem::remove_all(kOutfile, ec);
    }

    int run(const char* link, const char* search, const char* key) {
        slot = nullptr;
        start_stdout();
        const int status = VxShoutcastGetActiveServers(&slot, link, search, key);
        out = end_stdout();
        return status;
    }
    StationPage* slot = nullptr;
    std::string out;
};

TEST_F(GetActiveServersTest, CachedPageAndTotal) {
    put_file("/tmp/hdd/root/irf/PopPage2.html", listing(station_lines(21, 20)));
    put_file("/tmp/hdd/root/irf/PopPageTotal.xml", listing(station_lines(1, 45)));
    ASSERT_EQ(run("sgenre=Pop&startat=20", "0", kKey), 1);
    EXPECT_EQ(slot, &station_page);
    EXPECT_EQ(station_page.pagenum, 2);
    EXPECT_EQ(station_page.pagetotal, 4);
    EXPECT_STREQ(station_page.pagefilename, "/tmp/hdd/root/irf/PopPage2");
    // The record was cleared first: the byte after each text is zero.
    EXPECT_EQ(station_page.prevpagehref[60], '\0');
    EXPECT_EQ(station_page.pagefilename[99], '\0');
    EXPECT_STREQ(station_page.stations[0].name, "Station 21");
    EXPECT_EQ(station_page.stationtotal, 20);
    // The page file begins with the page number and total, then the links.
    EXPECT_EQ(slurp(kOutfile).substr(0, 55), "2\n4\nsgenre=Pop&startat=0\nsgenre=Pop&startat=40\nsgenre=\n");
    EXPECT_EQ(list_dir(kTestRoot), (std::vector<std::string>{"PopPage2.html", "PopPageTotal.xml"}));
}

TEST_F(GetActiveServersTest, PageWithoutStationsIsRemoved) {
    put_file("/tmp/hdd/root/irf/Search_3a1b4ab4Page1.html", listing(""));
    put_file("/tmp/hdd/root/irf/Search_3a1b4ab4PageTotal.xml", listing(""));
    ASSERT_EQ(run("startat=0", "rock", kKey), 1);
    EXPECT_EQ(station_page.stationtotal, 0);
    EXPECT_TRUE(exists(kOutfile));
    // The total file goes too: a listing without stations is asked for
    // again by the next request.
    EXPECT_EQ(list_dir(kTestRoot), std::vector<std::string>{});
}

TEST_F(GetActiveServersTest, MalformedCachedPageAndTotal) {
    put_file("/tmp/hdd/root/irf/PopPage1.html", "<stationlist>");
    put_file("/tmp/hdd/root/irf/PopPageTotal.xml", "<stationlist>");
    ASSERT_EQ(run("sgenre=Pop", "0", nullptr), 1);
    // Both are gone, so the next request fetches them again.
    EXPECT_EQ(list_dir(kTestRoot), std::vector<std::string>{});
    // Genre lists are there all the same.
    EXPECT_STREQ(station_page.genrename[15], "Rock & Roll");
}

TEST_F(GetActiveServersTest, LinkWithoutKeyIsRefused) {
    ASSERT_EQ(run("genre=Pop&start=20", "0", kKey), 0);
    EXPECT_EQ(slot, nullptr);
    EXPECT_FALSE(exists(kOutfile));
}

TEST_F(GetActiveServersTest, StorageRootIsCreated) {
    std::filesystem::remove_all(kTestRoot);
    ASSERT_EQ(run("s=1", "0", kKey), 0);
    struct stat st;
    ASSERT_EQ(stat(kTestRoot, &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0755u);  // made 0744, then searchable for the downloader
}

TEST_F(GetActiveServersTest, StorageRootThatCannotBeCreated) {
    copy_text(storage_root, "/tmp/no/such/irf", sizeof storage_root);
    ASSERT_EQ(run("sgenre=Pop", "0", kKey), 0);
    EXPECT_THAT(out, testing::EndsWith("No such file or directory, mkdir error: '/tmp/no/such/irf'"));
    EXPECT_FALSE(exists(kOutfile));
}

TEST_F(GetActiveServersTest, FlashCleanUpAndCacheNameTooLong) {
    const std::string flash = "/usr/local/etc/hdd/root/irf";
    std::filesystem::create_directories(flash + "/sub.html");
    for (const char* name : {"Page1.html", "PopPage3.html", "PopPageTotal.xml", "1_0a0b0c0d.pls", "x.html.bak"})
        put_file(flash + "/" + name, "<stationlist/>");
    copy_text(storage_root, kFlashRoot, sizeof storage_root);
    // 27 + "/" + 47 + "Search_3a1b4ab4" + "Page1" + ".html" is 100 characters.
    const std::string link = "sgenre=" + std::string(47, 'G');
    ASSERT_EQ(run(link.c_str(), "rock", kKey), 0);
    EXPECT_EQ(list_dir(flash), (std::vector<std::string>{"1_0a0b0c0d.pls", "PopPageTotal.xml", "sub.html",
                                                          "x.html.bak"}));
    EXPECT_EQ(slot, nullptr);
    EXPECT_FALSE(exists(kOutfile));
    std::filesystem::remove_all("/usr/local/etc/hdd");
}

TEST_F(GetActiveServersTest, UrlTooLongIsRefusedBeforeAnyDownload) {
    const std::string search(100, ' ');
    ASSERT_EQ(run("startat=0", search.c_str(), kKey), 0);
    EXPECT_EQ(list_dir(kTestRoot), std::vector<std::string>{});
}

TEST_F(GetActiveServersTest, PageFileThatCannotBeWritten) {
    put_file("/tmp/hdd/root/irf/Page1.html", listing(station_lines(1, 3)));
    put_file("/tmp/hdd/root/irf/PageTotal.xml", listing(station_lines(1, 3)));
    std::filesystem::create_directories(kOutfile);  // the rename into place fails
    EXPECT_EQ(run("startat=0", "0", kKey), 0);
    EXPECT_EQ(list_dir("/tmp/hdd/root"), (std::vector<std::string>{"irf", "outfile_1"}));
    EXPECT_TRUE(std::filesystem::is_directory(kOutfile));
}

}  // namespace
