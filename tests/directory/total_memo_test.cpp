// The memo of a total file's station count: written after the first count,
// read instead of the listing on later runs, recounted when stale or damaged,
// removed with the total file, kept by the flash clean-ups, and silent.
// The sandbox's downloader fails at once, so a total file that is removed is
// never fetched again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/debug_log.h"
#include "dir_test_util.h"
#include "directory/total_memo.h"
#include "directory/total_probe.h"
#include "directory/xml_walk.h"
#include "platform/capture.h"
#include "platform/text.h"

namespace {

using namespace dir_test;

const char kUrl[] = "http://yp.shoutcast.com/sbin/newxml.phtml?genre=Pop";
const std::string kTotal = "/tmp/hdd/root/irf/PopPageTotal.xml";
const std::string kMemo = kTotal + ".count";
const std::string kProbeOut = "\n\nzavadod::total path=http://yp.shoutcast.com/sbin/newxml.phtml?genre=Pop\n"
                              "zavadod::total down_file=/tmp/hdd/root/irf/PopPageTotal.xml\n"
                              "/tmp/hdd/root/irf/PopPageTotal.xml is exist\n";

class TotalMemo : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(kTestRoot);
        clear_dir(kTestRoot);
    }
    void TearDown() override { clear_dir(kTestRoot); }

    static int32_t memo_count() {
        int32_t n = -1;
        const TestRoot root;
        return count_total_stations_memo(root.file("PopPageTotal.xml"), &n) ? n : -1;
    }
    static int32_t fresh_count() {
        int32_t n = -1;
        return count_total_stations(AT_FDCWD, kTotal.c_str(), &n) ? n : -1;
    }
    static bool memo_holds() {
        int32_t n = -1;
        const TestRoot root;
        return read_total_memo(root.file("PopPageTotal.xml"), &n);
    }
    uint16_t probe(bool flash = false) {
        const TestRoot root(kTestRoot, flash);
        start_stdout();
        const uint16_t pages = probe_page_total(root.dir, kUrl, "PopPageTotal.xml");
        out = end_stdout();
        return pages;
    }
    static struct stat stat_of(const std::string& path) {
        struct stat st;
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        return st;
    }
    // Rewrites the file in place (same inode) and gives it back its old
    // modification time, so that only its content differs.
    static void replace_content_keeping_identity(const std::string& path, const std::string& content) {
        const struct stat before = stat_of(path);
        ASSERT_EQ(static_cast<off_t>(content.size()), before.st_size);
        put_file(path, content);
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        const struct stat after = stat_of(path);
        ASSERT_EQ(after.st_ino, before.st_ino);
        ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    }
    // 45 stations, and the same bytes with every "station" element renamed.
    static std::string with45() { return listing(station_lines(1, 45)); }
    static std::string renamed(std::string s) {
        for (size_t at = s.find("<station "); at != std::string::npos; at = s.find("<station ", at))
            s.replace(at, 9, "<statioX ");
        return s;
    }

    std::string out;
};

TEST_F(TotalMemo, WrittenByTheFirstCountAndReadByTheNext) {
    put_file(kTotal, with45());
    EXPECT_FALSE(memo_holds());
    EXPECT_EQ(memo_count(), 45);
    ASSERT_TRUE(exists(kMemo));
    EXPECT_EQ(std::filesystem::file_size(kMemo), 52u);
    EXPECT_TRUE(memo_holds());
    // No temporary file is left behind; the memo's name ends in neither
    // ".html" nor ".pls".
    EXPECT_EQ(test_files::list_dir(kTestRoot), (std::vector<std::string>{"PopPageTotal.xml", "PopPageTotal.xml.count"}));

    // The listing now names no station, yet size, time and inode are the
    // same: the answer comes from the memo, the file is not read.
    replace_content_keeping_identity(kTotal, renamed(with45()));
    EXPECT_EQ(fresh_count(), 0);
    EXPECT_EQ(memo_count(), 45);

    // One nanosecond later it is another file: counted again, and the new
    // count kept.
    struct stat st = stat_of(kTotal);
    st.st_mtim.tv_nsec = (st.st_mtim.tv_nsec + 1) % 1000000000;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, kTotal.c_str(), times, 0), 0);
    EXPECT_FALSE(memo_holds());
    EXPECT_EQ(memo_count(), 0);
    EXPECT_TRUE(memo_holds());
    EXPECT_EQ(memo_count(), 0);
}

TEST_F(TotalMemo, StaleWhenSizeOrInodeChanges) {
    put_file(kTotal, with45());
    ASSERT_EQ(memo_count(), 45);
    // Grown (the time may well stay within the same tick).
    {
        std::ofstream append(kTotal, std::ios::binary | std::ios::app);
        append << "<!-- -->";
    }
    EXPECT_FALSE(memo_holds());
    EXPECT_EQ(memo_count(), 45);
    EXPECT_TRUE(memo_holds());

    // Replaced by another file with the same size and time: a new inode.
    const struct stat old = stat_of(kTotal);
    const std::string other = kTotal + ".new";
    put_file(other, renamed(with45() + "<!-- -->"));
    const timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
    ASSERT_EQ(std::rename(other.c_str(), kTotal.c_str()), 0);
    ASSERT_NE(stat_of(kTotal).st_ino, old.st_ino);
    EXPECT_FALSE(memo_holds());
    EXPECT_EQ(memo_count(), 0);
}

TEST_F(TotalMemo, DamagedMemoIsRecounted) {
    put_file(kTotal, with45());
    ASSERT_EQ(memo_count(), 45);
    const std::string good = slurp(kMemo);
    ASSERT_EQ(good.size(), 52u);
    std::vector<std::string> damaged = {"", good.substr(0, 51), good + "x", std::string(52, '\0'),
                                        "RDCOUNT\x02" + good.substr(8)};
    for (size_t i = 0; i < good.size(); ++i) {
        std::string d = good;
        d[i] = static_cast<char>(d[i] ^ 0x10);
        damaged.push_back(d);
    }
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        put_file(kMemo, damaged[i]);
        EXPECT_FALSE(memo_holds());
        EXPECT_EQ(memo_count(), 45);
        // Recounted and written anew.
        EXPECT_EQ(slurp(kMemo), good);
    }
    // A memo that cannot be read (a directory in its place, with contents)
    // is recounted and written in its place.
    std::filesystem::remove(kMemo);
    std::filesystem::create_directories(kMemo + "/x");
    EXPECT_EQ(memo_count(), 45);
    EXPECT_EQ(slurp(kMemo), good);
}

TEST_F(TotalMemo, ProbeAnswersAndPrintsAsBefore) {
    for (const auto& [stations, pages] : {std::pair{45, 3}, {40, 2}, {1, 1}}) {
        SCOPED_TRACE(stations);
        clear_dir(kTestRoot);
        put_file(kTotal, listing(station_lines(1, stations)));
        EXPECT_EQ(probe(), pages);  // counted, memo written
        EXPECT_EQ(out, kProbeOut);
        EXPECT_TRUE(memo_holds());
        EXPECT_EQ(probe(), pages);  // from the memo
        EXPECT_EQ(out, kProbeOut);
    }
    // A listing without stations is not remembered: the file and its memo
    // go, so that the next request asks the service again.
    clear_dir(kTestRoot);
    put_file(kTotal, listing(""));
    EXPECT_EQ(probe(), 0);
    EXPECT_EQ(out, kProbeOut);
    EXPECT_EQ(test_files::list_dir(kTestRoot), std::vector<std::string>{});
    // The memo is what the second probe read.
    clear_dir(kTestRoot);
    put_file(kTotal, with45());
    EXPECT_EQ(probe(), 3);
    replace_content_keeping_identity(kTotal, renamed(with45()));
    EXPECT_EQ(probe(), 3);
    EXPECT_EQ(out, kProbeOut);
}

TEST_F(TotalMemo, PageTotalPast16BitsIsStoredAs65535) {
    put_file(kTotal, with45());
    ASSERT_EQ(memo_count(), 45);
    std::string memo = slurp(kMemo);
    // The memo's station count -> the page total stored (pages + 1, 16 bits).
    for (const auto& [stations, stored] : {std::pair{1310660, 65534}, {1310680, 65535}, {1310681, 65535},
                                           {1310700, 65535}, {INT32_MAX, 65535}}) {
        for (int i = 0; i < 4; ++i) memo[28 + i] = static_cast<char>(stations >> (8 * i));
        const uint32_t check = fnv1a32(memo.data(), 48);
        for (int i = 0; i < 4; ++i) memo[48 + i] = static_cast<char>(check >> (8 * i));
        put_file(kMemo, memo);
        EXPECT_EQ(probe() + 1, stored) << stations;
    }
}

// Runs the probe once with a memo beside the total file and once without;
// the printed lines must not differ.
class TotalMemoRemoval : public TotalMemo {
protected:
    std::string probe_with_and_without_memo(const std::string& total, bool total_present) {
        clear_dir(kTestRoot);
        if (total_present) put_file(kTotal, total);
        probe();
        const std::string without = out;
        clear_dir(kTestRoot);
        if (total_present) put_file(kTotal, total);
        put_file(kMemo, "left over from an earlier total file");
        probe();
        EXPECT_EQ(out, without);
        return out;
    }
};

TEST_F(TotalMemoRemoval, UnloadableTotalGoesWithItsMemo) {
    const std::string printed = probe_with_and_without_memo("<stationlist>", true);
    EXPECT_EQ(printed, kProbeOut + "Can't open the file:" + kTotal + "\n");
    EXPECT_EQ(test_files::list_dir(kTestRoot), std::vector<std::string>{});
}

TEST_F(TotalMemoRemoval, EmptyTotalGoesWithItsMemo) {
    // Removed as empty, fetched again: the download fails.
    const std::string printed = probe_with_and_without_memo("", true);
    EXPECT_NE(printed.find("failed to Exec cmd\nrm " + kTotal + "\n"), std::string::npos) << printed;
    EXPECT_EQ(test_files::list_dir(kTestRoot), std::vector<std::string>{});
}

TEST_F(TotalMemoRemoval, FailedDownloadLeavesNoMemo) {
    const std::string printed = probe_with_and_without_memo("", false);
    EXPECT_NE(printed.find("failed to Exec cmd\nrm " + kTotal + "\n"), std::string::npos) << printed;
    EXPECT_EQ(test_files::list_dir(kTestRoot), std::vector<std::string>{});
}

TEST_F(TotalMemo, NameIsTheTotalNameAndCount) {
    const TestRoot root;
    RootFile memo;
    ASSERT_TRUE(total_memo_file(&memo, root.file("PageTotal.xml")));
    EXPECT_STREQ(memo.path, "/tmp/hdd/root/irf/PageTotal.xml.count");
    EXPECT_FALSE(total_memo_file(&memo, root.file(std::string(kRootPathSize - 20, 'x'))));
}

// No trace datagram and no standard output of its own: writing, reading and
// removing a memo, and the probe around them.
TEST_F(TotalMemo, Silent) {
    testing_support::DatagramSink sink;
    ASSERT_TRUE(sink.bound());
    // The listener hears a trace line.
    udp_log("Silent", 1, kSrcLogic, "%s", "control");
    ASSERT_EQ(sink.drain().size(), 1u);

    put_file(kTotal, with45());
    start_stdout();
    EXPECT_EQ(memo_count(), 45);  // writes
    EXPECT_EQ(memo_count(), 45);  // reads
    put_file(kMemo, "damaged");
    EXPECT_EQ(memo_count(), 45);  // recounts
    EXPECT_EQ(end_stdout(), "");
    EXPECT_EQ(probe(), 3);
    EXPECT_EQ(out, kProbeOut);
    EXPECT_EQ(probe(), 3);
    EXPECT_EQ(out, kProbeOut);
    EXPECT_EQ(sink.drain(), std::vector<std::string>{});
}

}  // namespace
