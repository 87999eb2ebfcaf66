// Output files that cannot be written: a full disk and a read-only
// directory (a tiny or read-only tmpfs over "/tmp/hdd/root" inside the test
// sandbox), and two processes writing the same file at once.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "records/channel_list.h"
#include "records/exchange_dir.h"
#include "records/station_page.h"

namespace {

using namespace records_test;

using Names = std::vector<std::string>;

class OutputFailureTest : public ExchangeDirTest {
protected:
    void TearDown() override {
        if (mounted_) {
            EXPECT_EQ(umount2(kExchangeDir, 0), 0) << std::strerror(errno);
        }
        ExchangeDirTest::TearDown();
    }
    void mount_tmpfs(unsigned long flags, const char* options) {
        ASSERT_EQ(mount("tmpfs", kExchangeDir, "tmpfs", flags, options), 0) << std::strerror(errno);
        mounted_ = true;
    }
    void remount_read_only() {
        ASSERT_EQ(mount(nullptr, kExchangeDir, nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0) << std::strerror(errno);
    }
    // Takes every free block of the file system.
    void fill_disk() {
        const int fd = open("/tmp/hdd/root/filler", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const std::string chunk(512, 'f');
        while (write(fd, chunk.data(), chunk.size()) > 0) {
        }
        EXPECT_EQ(errno, ENOSPC);
        close(fd);
    }
    bool mounted_ = false;
};

// A second process. The C library's fork wrapper crashes the child of a
// dynamically linked MIPS binary under qemu-user 7.2; the plain system call
// (argument order differs between architectures, but all are zero here) works.
pid_t fork_process() { return static_cast<pid_t>(syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0)); }

StationPage full_page() {
    StationPage p;
    std::memset(&p, 0, sizeof p);
    p.pagenum = 1;
    p.pagetotal = 3;
    std::strcpy(p.genreprefix, "sgenre=");
    for (auto& s : p.stations) {
        std::memset(s.name, 'n', sizeof s.name - 1);
        s.used = 1;
    }
    p.stationtotal = kPageStations;
    std::strcpy(p.pagefilename, "/tmp/hdd/root/irf/Page1");
    return p;
}

// 50 rows of full-width values: about 11 kB of channel list.
void fill_table(PlaylistEntry* rows) {
    for (int i = 0; i < kPlaylistRows; ++i) {
        std::memset(rows[i].url, 'u', sizeof rows[i].url - 1);
        rows[i].url[sizeof rows[i].url - 1] = '\0';
        std::memset(rows[i].title, 't', sizeof rows[i].title - 1);
        rows[i].title[sizeof rows[i].title - 1] = '\0';
    }
}

TEST_F(OutputFailureTest, FullDiskFailsEveryWriterAndLeavesNoFile) {
    mount_tmpfs(0, "size=8k");
    fill_disk();
    ASSERT_EQ(list_dir(), Names{"filler"});

    const StationPage page = full_page();
    start_stdout();
    EXPECT_EQ(write_page_file(&page), 0);
    end_stdout();
    EXPECT_EQ(list_dir(), Names{"filler"});

    PlaylistEntry rows[kPlaylistRows];
    fill_table(rows);
    EXPECT_EQ(write_channel_list(rows, 1), 0);
    EXPECT_EQ(list_dir(), Names{"filler"});
    EXPECT_EQ(write_fav_channel_list(rows, 0), 0);
    EXPECT_EQ(list_dir(), Names{"filler"});
}

TEST_F(OutputFailureTest, DiskFillingUpHalfwayKeepsTheOldFileWhole) {
    // Three blocks: the old file takes one, the new list needs all three.
    mount_tmpfs(0, "size=12k");
    put_file(kChannelListFile, "1\nhttp://old/\nOld\n");
    PlaylistEntry rows[kPlaylistRows];
    fill_table(rows);
    start_stdout();
    EXPECT_EQ(write_channel_list(rows, kPlaylistRows), 0);
    EXPECT_EQ(end_stdout(), "");
    EXPECT_EQ(list_dir(), Names{"outfile_2"});
    EXPECT_EQ(slurp(kChannelListFile), "1\nhttp://old/\nOld\n");

    // With the old file gone there is room, and the same list fits.
    ASSERT_EQ(unlink(kChannelListFile), 0);
    EXPECT_EQ(write_channel_list(rows, kPlaylistRows), 1);
    EXPECT_EQ(list_dir(), Names{"outfile_2"});
    EXPECT_EQ(slurp(kChannelListFile).size(), 3u + kPlaylistRows * (99 + 1 + 127 + 1));
}

TEST_F(OutputFailureTest, ReadOnlyDirectoryFailsEveryWriterSilently) {
    mount_tmpfs(0, "size=64k");
    put_file(kPageFile, "old page\n");
    put_file(kFavChannelListFile, "0\n");
    remount_read_only();

    const StationPage page = full_page();
    PlaylistEntry rows[kPlaylistRows];
    fill_table(rows);
    start_stdout();
    EXPECT_EQ(write_page_file(&page), 0);
    EXPECT_EQ(write_channel_list(rows, 2), 0);
    EXPECT_EQ(write_fav_channel_list(rows, 2), 0);
    EXPECT_EQ(end_stdout(), "");
    EXPECT_EQ(list_dir(), (Names{"outfile_1", "outfile_3"}));
    EXPECT_EQ(slurp(kPageFile), "old page\n");
    EXPECT_EQ(slurp(kFavChannelListFile), "0\n");
}

TEST_F(OutputFailureTest, TwoProcessesWritingTheSameFileDoNotMixTheirOutput) {
    // This process is halfway through its channel list...
    AtomicFile mine;
    ASSERT_EQ(atomic_open(&mine, kChannelListFile), 1);
    std::fputs("2\nhttp://first/\nFirst\n", mine.file);
    ASSERT_EQ(std::fflush(mine.file), 0);

    // ...when a second run writes the whole of its own.
    const pid_t child = fork_process();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PlaylistEntry rows[1];
        std::memset(rows, 0, sizeof rows);
        std::strcpy(rows[0].url, "http://other/");
        std::strcpy(rows[0].title, "Other");
        _exit(write_channel_list(rows, 1) == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(slurp(kChannelListFile), "1\nhttp://other/\nOther\n");

    std::fputs("http://second/\nSecond\n", mine.file);
    ASSERT_EQ(atomic_commit(&mine), 1);
    EXPECT_EQ(slurp(kChannelListFile), "2\nhttp://first/\nFirst\nhttp://second/\nSecond\n");
    EXPECT_EQ(list_dir(), Names{"outfile_2"});
}

}  // namespace
