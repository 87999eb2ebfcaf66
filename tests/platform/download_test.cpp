// The download runner: the argument vector handed to the downloader, the
// result for each way a downloader can end, the exact standard output and
// the argument-dump datagram. Stand-in downloaders are small shell scripts
// written by the tests; the real one (/sbin/wget, GNU wget in the sandbox)
// is run against a port where nothing listens.
#include "platform/download.h"
#include "platform/downloader.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"

namespace {

using testing_support::DatagramSink;
using testing_support::exists;
using testing_support::put_file;
using testing_support::slurp;
using testing_support::ScratchDir;
using testing_support::StdoutCapture;

const std::string kUrl = "http://yp.shoutcast.com/sbin/newxml.phtml?genre=Rock%20%26%20Roll&limit=20,20";

class ExecvCmdTest : public ::testing::Test {
protected:
    // A shell script at dir/name, executable.
    std::string script(const std::string& name, const std::string& body) {
        const std::string path = dir_ / name;
        put_file(path, "#!/bin/sh\n" + body);
        chmod(path.c_str(), 0755);
        return path;
    }
    // The download vector with `program` in slot 0.
    std::vector<const char*> vector_for(const std::string& program) {
        program_ = program;
        out_ = dir_ / "out.html";
        std::vector<const char*> v(wget_args, wget_args + kWgetSlots);
        v[0] = program_.c_str();
        v[kWgetUrlSlot] = kUrl.c_str();
        v[kWgetOutSlot] = out_.c_str();
        return v;
    }
    std::string failed_line() const {
        return "exec " + program_ + " -t 1 -T 30 -nd " + kUrl + " -O " + out_ + " failed\n";
    }
    static void expect_no_child_left() {
        errno = 0;
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }

    ScratchDir dir_;
    std::string program_;
    std::string out_;
};

TEST(WgetArgs, OneTryThirtySecondsNoDirectories) {
    const char* const expected[kWgetSlots] = {"/sbin/wget", "-t", "1", "-T", "30", "-nd", nullptr, "-O", nullptr,
                                              nullptr};
    for (int i = 0; i < kWgetSlots; ++i) {
        if (expected[i] == nullptr)
            EXPECT_EQ(wget_args[i], nullptr) << "slot " << i;
        else
            EXPECT_STREQ(wget_args[i], expected[i]) << "slot " << i;
    }
}

TEST_F(ExecvCmdTest, SuccessRunsTheVectorAndWaits) {
    // Sleeps first, so the output file exists after the call only if the
    // call waited; reports its arguments and environment in that file.
    const std::string prog = script("ok-wget",
                                    "sleep 0.2\n"
                                    "echo \"downloader on stdout\"\n"
                                    "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; echo \"$DL_TEST_MARK\"; }"
                                    " >\"$8\"\n");
    setenv("DL_TEST_MARK", "inherited", 1);
    std::vector<const char*> vec = vector_for(prog);
    DatagramSink sink;
    ASSERT_TRUE(sink.bound());

    StdoutCapture cap;
    std::printf("pending ");  // buffered: must appear once, before the URL
    const int r = ExecvCmd(kWgetSlots, vec.data());
    const std::string out = cap.text();

    EXPECT_EQ(r, 1);
    EXPECT_EQ(out, "pending " + kUrl + "\ndownloader on stdout\n");
    EXPECT_EQ(slurp(out_), "8\n[-t]\n[1]\n[-T]\n[30]\n[-nd]\n[" + kUrl + "]\n[-O]\n[" + out_ + "]\ninherited\n");
    EXPECT_EQ(sink.drain(), std::vector<std::string>{"\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0073] : ExecvCmd\n****argv :  " +
                                                     prog + " -t 1 -T 30 -nd " + kUrl + " -O " + out_ + " NULL"});
    expect_no_child_left();
}

TEST_F(ExecvCmdTest, NonZeroExitFailsAndKeepsWhatWasWritten) {
    const std::string prog = script("fail8-wget", "printf 'partial' >\"$8\"\nexit 8\n");
    std::vector<const char*> vec = vector_for(prog);

    StdoutCapture cap;
    const int r = ExecvCmd(kWgetSlots, vec.data());
    EXPECT_EQ(r, 0);
    EXPECT_EQ(cap.text(), kUrl + "\n" + failed_line());
    EXPECT_EQ(slurp(out_), "partial");  // the caller removes it
    expect_no_child_left();
}

TEST_F(ExecvCmdTest, KilledByItsOwnSignalFailsWithADatagramNamingIt) {
    // A downloader that crashes, or that someone else kills: nothing on
    // standard output, one datagram after the argument dump.
    for (const char* sig : {"KILL", "SEGV"}) {
        SCOPED_TRACE(sig);
        const std::string body = std::string("ulimit -c 0\nprintf 'half' >\"$8\"\nkill -") + sig + " $$\n";
        std::vector<const char*> vec = vector_for(script(std::string("killed-") + sig, body));
        DatagramSink sink;
        StdoutCapture cap;
        const int r = ExecvCmd(kWgetSlots, vec.data());
        EXPECT_EQ(r, 0);
        EXPECT_EQ(cap.text(), kUrl + "\n");
        const int number = std::string(sig) == "KILL" ? SIGKILL : SIGSEGV;
        const std::vector<std::string> got = sink.drain();
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[1], "\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0098] : ExecvCmd\ndownloader killed by signal " +
                              std::to_string(number) + " (SIG" + sig + ")");
        expect_no_child_left();
    }
}

TEST_F(ExecvCmdTest, ProgramThatCannotRunFailsWithTheExecLine) {
    // Missing, and present but not executable: execv fails in the child,
    // which ends without flushing the parent's buffers a second time.
    const std::string not_exec = dir_ / "plain-file";
    put_file(not_exec, "#!/bin/sh\nexit 0\n");
    chmod(not_exec.c_str(), 0644);
    for (const std::string& prog : {dir_ / "no-such-wget", not_exec}) {
        SCOPED_TRACE(prog);
        std::vector<const char*> vec = vector_for(prog);
        StdoutCapture cap;
        std::printf("pending ");
        const int r = ExecvCmd(kWgetSlots, vec.data());
        EXPECT_EQ(r, 0);
        EXPECT_EQ(cap.text(), "pending " + kUrl + "\n" + failed_line());
        expect_no_child_left();
    }
}

// Does the process still run (not gone, not a zombie waiting for its
// reaper) 5 s on? A SIGKILL takes effect when the process is next scheduled.
bool still_running(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        const std::string stat = slurp("/proc/" + std::to_string(pid) + "/stat");
        const size_t paren = stat.rfind(')');
        if (paren == std::string::npos || paren + 2 >= stat.size() || stat[paren + 2] == 'Z') return false;
        usleep(10 * 1000);
    }
    return true;
}

TEST_F(ExecvCmdTest, WhatTheDownloaderStartedEndsWithIt) {
    // Each downloader starts a helper process first, as a shell script may.
    struct Case {
        const char* name;
        const char* body;
        uint32_t cap;
        int status;
    };
    const Case cases[] = {
        {"stalls", "sleep 60 & echo $! >\"$8.helper\"\nsleep 60\n", 0, 0},
        {"endless", "sleep 60 & echo $! >\"$8.helper\"\nwhile :; do echo 0123456789abcdef; done >\"$8\"\n", 4096, 0},
        // A helper in a session of its own outlives the downloader's group.
        {"detaches", "setsid sleep 60 & echo $! >\"$8.helper\"\nexit 0\n", 0, 1},
    };
    setenv("RADIODIR_DOWNLOAD_DEADLINE", "1", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<const char*> vec = vector_for(script(c.name, c.body));
        const int out_fd = open(out_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        DatagramSink sink;
        StdoutCapture cap;
        const int r = ExecvCmd(kWgetSlots, vec.data(), {out_fd, c.cap, false});
        close(out_fd);
        EXPECT_EQ(r, c.status);
        EXPECT_EQ(cap.text(), kUrl + "\n");  // killed or exited 0: no "exec ... failed"
        EXPECT_EQ(sink.drain().size(), 1u);  // and no datagram of a signal
        expect_no_child_left();
        const std::string helper = slurp(out_ + ".helper");
        ASSERT_FALSE(helper.empty());
        EXPECT_FALSE(still_running(std::atoi(helper.c_str())));
    }
    unsetenv("RADIODIR_DOWNLOAD_DEADLINE");
}

TEST(DownloadTo, RealDownloaderWithNoServerFails) {
    // The directory hosts resolve to 127.0.0.1, where nothing listens here:
    // GNU wget exits with a non-zero code at once. The cache name held a
    // link to another file: it is removed first, never followed.
    ScratchDir dir;
    const std::string out = dir / "Pop_Page0.html";
    const StorageDir root = {open(dir.path().c_str(), O_RDONLY | O_DIRECTORY), dir.path().c_str(), false, 0};
    RootFile file;
    ASSERT_TRUE(root_file(&file, root, "Pop_Page0.html"));
    put_file(dir / "victim", "untouched");
    ASSERT_EQ(symlink((dir / "victim").c_str(), out.c_str()), 0);
    DatagramSink sink;
    ASSERT_TRUE(sink.bound());

    StdoutCapture cap;
    EXPECT_FALSE(download_to(file, kUrl.c_str(), 1024));
    close(root.fd);
    EXPECT_FALSE(exists(out));
    EXPECT_FALSE(exists(dir / ".download"));  // the record of the download is gone
    EXPECT_EQ(slurp(dir / "victim"), "untouched");
    EXPECT_EQ(cap.text(), kUrl + "\nexec /sbin/wget -t 1 -T 30 -nd " + kUrl + " -O " + out + " failed\n");
    // The "%" of the encoded URL is sent literally, and the dump ends in
    // NULL because the count includes the terminating slot.
    EXPECT_EQ(sink.drain(), std::vector<std::string>{"\t\t\t\t\t\t\t\tpatch_Zorv_getlpls[0073] : ExecvCmd\n"
                                                     "****argv :  /sbin/wget -t 1 -T 30 -nd " +
                                                     kUrl + " -O " + out + " NULL"});
    // The template itself is never filled.
    EXPECT_EQ(wget_args[kWgetUrlSlot], nullptr);
    EXPECT_EQ(wget_args[kWgetOutSlot], nullptr);
}

}  // namespace
