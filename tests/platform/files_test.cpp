// Directory handles, mkdir, whole-file reads, the removal of cached files
// (directly, never through a shell), the cache's reuse rule and output
// files renamed into place.
#include "platform/atomic_file.h"
#include "platform/cache.h"
#include "platform/dir_handle.h"
#include "platform/safe_files.h"
#include "platform/whole_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "platform/text.h"

namespace {

using testing_support::DatagramSink;
using testing_support::exists;
using testing_support::put_file;
using testing_support::slurp;
using testing_support::ScratchDir;
using testing_support::StdoutCapture;
using test_files::list_dir;

const std::string kTab8 = "\t\t\t\t\t\t\t\t";

// A directory's descriptor for as long as the expression lasts.
struct DirFd {
    int fd;
    explicit DirFd(const std::string& path) : fd(open(path.c_str(), O_RDONLY | O_DIRECTORY)) {}
    ~DirFd() { close(fd); }
};

RootFile file_in(const StorageDir& root, const char* name) {
    RootFile f;
    root_file(&f, root, name);
    return f;
}

std::string trace(const char* func, int line, const std::string& message = "") {
    char head[16];
    std::snprintf(head, sizeof head, "[%04d]", line);
    return kTab8 + "patch_Zorv_getlpls" + head + " : " + func + "\n" + message;
}

// ---- VxOpenDirectory / VxCloseDirectory ----------------------------------

TEST(VxDirectory, OpensAndClosesAnExistingDirectory) {
    ScratchDir dir;
    DatagramSink sink;
    ASSERT_TRUE(sink.bound());
    VxDirectory* handle = nullptr;
    ASSERT_EQ(VxOpenDirectory(dir.path().c_str(), &handle), 1);
    ASSERT_NE(handle, nullptr);
    EXPECT_NE(handle->stream, nullptr);
    EXPECT_EQ(VxCloseDirectory(handle), 1);
    EXPECT_EQ(sink.drain(), (std::vector<std::string>{trace("VxOpenDirectory", 131), trace("VxCloseDirectory", 162)}));
}

TEST(VxDirectory, NoDirectoryGivesMinusOneAndTheSystemErrorText) {
    ScratchDir dir;
    put_file(dir / "file", "x");
    struct Case {
        std::string path;
        const char* error;
    };
    for (const Case& c : {Case{dir / "file", "Not a directory"}, Case{dir / "missing", "No such file or directory"}}) {
        SCOPED_TRACE(c.path);
        DatagramSink sink;
        ASSERT_TRUE(sink.bound());
        auto* const untouched = reinterpret_cast<VxDirectory*>(0x1234);
        VxDirectory* handle = untouched;
        EXPECT_EQ(VxOpenDirectory(c.path.c_str(), &handle), -1);
        EXPECT_EQ(handle, untouched);
        EXPECT_EQ(sink.drain(), (std::vector<std::string>{trace("VxOpenDirectory", 131),
                                                          trace("VxOpenDirectory", 141, c.error)}));
    }
}

TEST(VxDirectory, FailedCloseKeepsTheHandle) {
    ScratchDir dir;
    VxDirectory* handle = nullptr;
    ASSERT_EQ(VxOpenDirectory(dir.path().c_str(), &handle), 1);
    close(dirfd(handle->stream));  // closedir now fails with EBADF
    EXPECT_EQ(VxCloseDirectory(handle), -2);
    std::free(handle);  // kept by the failed close: still ours to release
}

// ---- VxFileMkdir ----------------------------------------------------------

TEST(VxFileMkdir, CreatesWithMode744LessTheUmask) {
    ScratchDir dir;
    struct Case {
        mode_t umask;
        mode_t mode;
    };
    for (const Case c : {Case{022, 0744}, Case{0, 0744}, Case{077, 0700}}) {
        const std::string path = dir / ("irf" + std::to_string(c.umask));
        const mode_t old = umask(c.umask);
        StdoutCapture cap;
        const int r = VxFileMkdir(path.c_str());
        const std::string out = cap.text();
        umask(old);
        EXPECT_EQ(r, 1);
        EXPECT_EQ(out, "pathname:" + path + "\n");
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, c.mode) << "umask " << std::oct << c.umask;
    }
}

TEST(VxFileMkdir, FailsWithErrnoWhenItCannotCreate) {
    ScratchDir dir;
    mkdir((dir / "there").c_str(), 0755);
    put_file(dir / "file", "x");
    struct Case {
        std::string path;
        int err;
    };
    for (const Case& c : {Case{dir / "there", EEXIST}, Case{dir / "file", EEXIST}, Case{dir / "no/irf", ENOENT}}) {
        SCOPED_TRACE(c.path);
        StdoutCapture cap;
        errno = 0;
        const int r = VxFileMkdir(c.path.c_str());
        const int err = errno;
        EXPECT_EQ(r, 0);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(cap.text(), "pathname:" + c.path + "\n");
    }
    EXPECT_FALSE(exists(dir / "no"));  // only the last component is ever made
}

// ---- read_file / free_file -----------------------------------------------

const std::string kReadLine = "\n 185, read_file, patch_Zorv_getlpls \n";

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xff);  // zero bytes included
    return s;
}

TEST(ReadFile, ReadsEverySizeWholeWithAZeroByteBehind) {
    ScratchDir dir;
    for (const size_t size : {0, 1, 24, 300, 511, 512, 513, 520, 1024, 100000}) {
        SCOPED_TRACE(size);
        const std::string path = dir / ("f" + std::to_string(size));
        const std::string content = pattern(size);
        put_file(path, content);
        uint32_t length = 0;
        StdoutCapture cap;
        char* buf = read_file(AT_FDCWD, path.c_str(), &length);
        EXPECT_EQ(cap.text(), kReadLine);
        ASSERT_NE(buf, nullptr);  // an empty file too
        EXPECT_EQ(length, size);
        EXPECT_EQ(std::string(buf, length), content);
        EXPECT_GE(malloc_usable_size(buf), size + 1);
        EXPECT_EQ(buf[length], '\0');
        EXPECT_EQ(free_file(&buf), 1);
        EXPECT_EQ(buf, nullptr);
        EXPECT_EQ(free_file(&buf), 1);  // a second release frees nothing
    }
}

TEST(ReadFile, SendsItsTracesAndReportsAMissingFile) {
    ScratchDir dir;
    DatagramSink sink;
    ASSERT_TRUE(sink.bound());
    uint32_t length = 0;
    StdoutCapture cap;
    EXPECT_EQ(read_file(AT_FDCWD, (dir / "none.pls").c_str(), &length), nullptr);
    EXPECT_EQ(cap.text(), kReadLine + "the file is not exist\n");
    EXPECT_EQ(length, 0u);
    char* none = nullptr;
    free_file(&none);
    EXPECT_EQ(sink.drain(), (std::vector<std::string>{trace("read_file", 184), trace("free_file", 237)}));
}

TEST(ReadFile, OnlyARegularFileReachedWithoutALinkIsRead) {
    // A directory, a FIFO (opening it would wait for a writer for ever) and
    // a link to a regular file are refused as a missing file is; so is a
    // file longer than the caller allows.
    ScratchDir dir;
    put_file(dir / "target", "[playlist]\n");
    ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    for (const std::string& path : {dir.path(), dir / "fifo", dir / "link"}) {
        SCOPED_TRACE(path);
        uint32_t length = 0;
        StdoutCapture cap;
        EXPECT_EQ(read_file(AT_FDCWD, path.c_str(), &length), nullptr);
        EXPECT_EQ(cap.text(), kReadLine + "the file is not exist\n");
    }
    uint32_t length = 0;
    StdoutCapture cap;
    EXPECT_EQ(read_file(AT_FDCWD, (dir / "target").c_str(), &length, 10), nullptr);
    EXPECT_EQ(cap.text(), kReadLine);
}

// ---- removal --------------------------------------------------------------

volatile sig_atomic_t g_children = 0;

// Counts SIGCHLD while alive: any shell or other child started in between
// shows up here.
class ChildCounter {
public:
    ChildCounter() {
        g_children = 0;
        struct sigaction sa {};
        sa.sa_handler = [](int) { g_children = g_children + 1; };
        sigemptyset(&sa.sa_mask);
        sigaction(SIGCHLD, &sa, &old_);
    }
    ~ChildCounter() { sigaction(SIGCHLD, &old_, nullptr); }
    int count() const { return g_children; }

private:
    struct sigaction old_ {};
};

TEST(RemoveFiles, SuffixRemovesOnlyMatchingRegularFilesDirectlyInTheDirectory) {
    ScratchDir dir;
    const std::string tricky = "Rock & Roll;touch INJECTED;Page0.html";
    for (const char* name : {"Pop_Page0.html", "all_Page20.html", "1_0A1B2C3D.pls", "all_total.html.bak", "notes.txt"})
        put_file(dir / name, "x");
    put_file(dir / tricky, "x");
    mkdir((dir / "sub.html").c_str(), 0755);
    put_file(dir / "sub.html/inner.html", "x");
    mkdir((dir / "sub").c_str(), 0755);
    put_file(dir / "sub/deep.html", "x");
    put_file(dir / "target.txt", "kept");
    ASSERT_EQ(symlink("target.txt", (dir / "link.html").c_str()), 0);

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);  // where an injected command would write
    ChildCounter children;
    remove_files_with_suffix(DirFd(dir.path()).fd, ".html");
    EXPECT_EQ(children.count(), 0);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"1_0A1B2C3D.pls", "all_total.html.bak", "link.html",
                                                               "notes.txt", "sub", "sub.html", "target.txt"}));
    EXPECT_EQ(list_dir(dir / "sub.html"), std::vector<std::string>{"inner.html"});
    EXPECT_EQ(list_dir(dir / "sub"), std::vector<std::string>{"deep.html"});
    EXPECT_EQ(slurp(dir / "target.txt"), "kept");

    remove_files_with_suffix(DirFd(dir.path()).fd, ".pls");
    remove_files_with_suffix(DirFd(dir / "missing").fd, ".pls");  // nothing to do, no complaint
    EXPECT_EQ(children.count(), 0);
    EXPECT_EQ(chdir(cwd), 0);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"all_total.html.bak", "link.html", "notes.txt", "sub",
                                                               "sub.html", "target.txt"}));
}

TEST(RemoveFiles, OneFileByItsExactNameAndNothingElse) {
    ScratchDir dir;
    const std::string tricky = "Heavy Metal & x;touch INJECTED; *.pls";
    put_file(dir / tricky, "x");
    put_file(dir / "Heavy", "x");
    put_file(dir / "other.pls", "x");
    mkdir((dir / "adir").c_str(), 0755);

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    ChildCounter children;
    remove_file(AT_FDCWD, (dir / tricky).c_str());
    remove_file(AT_FDCWD, (dir / "never-there.pls").c_str());
    remove_file(AT_FDCWD, (dir / "adir").c_str());  // a directory is not a file
    EXPECT_EQ(children.count(), 0);
    EXPECT_EQ(chdir(cwd), 0);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"Heavy", "adir", "other.pls"}));
}

TEST(CachedCopyUsable, AFileWithContentWithinTheCapAndNothingElse) {
    ScratchDir dir;
    put_file(dir / "full.html", "<?xml");
    put_file(dir / "one.pls", "[");
    put_file(dir / "empty.html", "");
    put_file(dir / "big.pls", "[playlist]\n");
    ASSERT_EQ(symlink("full.html", (dir / "link.html").c_str()), 0);
    const DirFd fd(dir.path());
    const StorageDir root = {fd.fd, dir.path().c_str(), false, 0};
    EXPECT_TRUE(cached_copy_usable(file_in(root, "full.html"), 5));
    EXPECT_TRUE(cached_copy_usable(file_in(root, "one.pls"), 5));
    EXPECT_FALSE(cached_copy_usable(file_in(root, "empty.html"), 5));
    EXPECT_FALSE(cached_copy_usable(file_in(root, "missing.html"), 5));
    EXPECT_FALSE(cached_copy_usable(file_in(root, "big.pls"), 10));  // 11 bytes
    EXPECT_FALSE(cached_copy_usable(file_in(root, "link.html"), 5));
    EXPECT_FALSE(cached_copy_usable(file_in(root, "."), 5));
    // A vendor's maximum age: a copy modified longer ago is not reused.
    const timespec old_times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "one.pls").c_str(), old_times, 0), 0);
    EXPECT_TRUE(cached_copy_usable(file_in(root, "one.pls"), 5, 3601));
    EXPECT_FALSE(cached_copy_usable(file_in(root, "one.pls"), 5, 3599));
    EXPECT_TRUE(cached_copy_usable(file_in(root, "one.pls"), 5, 0));
    // A question only: nothing is removed.
    EXPECT_EQ(list_dir(dir.path()),
              (std::vector<std::string>{"big.pls", "empty.html", "full.html", "link.html", "one.pls"}));
}

// ---- AtomicFile -----------------------------------------------------------

TEST(AtomicFile, CommitRenamesTheWholeFileIntoPlace) {
    ScratchDir dir;
    const std::string final_path = dir / "outfile_1";
    put_file(final_path, "old answer\n");
    AtomicFile af;
    ASSERT_TRUE(atomic_open(&af, final_path.c_str()));
    // Created new, under a name that cannot be guessed ahead.
    EXPECT_EQ(std::string(af.tmp_path).substr(0, final_path.size() + 4), final_path + ".tmp");
    EXPECT_EQ(std::strlen(af.tmp_path), final_path.size() + kTempSuffixMax);
    EXPECT_TRUE(is_temp_name(af.tmp_path));
    std::fputs("new answer\n", af.file);
    EXPECT_EQ(slurp(final_path), "old answer\n");  // readers see the old file until the rename
    EXPECT_TRUE(atomic_commit(&af));
    EXPECT_EQ(slurp(final_path), "new answer\n");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"outfile_1"});
}

TEST(AtomicFile, OpenFailsWithoutCreatingAnything) {
    ScratchDir dir;
    AtomicFile af;
    EXPECT_FALSE(atomic_open(&af, (dir / "missing/outfile_1").c_str()));
    // A name that does not fit is refused, not cut.
    const std::string too_long = dir / std::string(sizeof af.final_path, 'n');
    EXPECT_FALSE(atomic_open(&af, too_long.c_str()));
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{});
}

TEST(AtomicFile, CommitOnAFullDiskFailsAndLeavesNothing) {
    ScratchDir dir;
    const std::string small = dir / "small";
    mkdir(small.c_str(), 0755);
    if (mount("atomic-test", small.c_str(), "tmpfs", 0, "size=8k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    const std::string final_path = small + "/outfile_3";
    AtomicFile af;
    ASSERT_TRUE(atomic_open(&af, final_path.c_str()));
    const std::string block(1024, 'x');
    for (int i = 0; i < 64; ++i) std::fputs(block.c_str(), af.file);
    EXPECT_FALSE(atomic_commit(&af));
    EXPECT_EQ(list_dir(small), std::vector<std::string>{});
    umount(small.c_str());
}

}  // namespace
