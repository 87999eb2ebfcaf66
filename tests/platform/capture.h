// Test helpers for the platform routines: what a call writes on standard
// output (its children's output included), the trace datagrams it sends,
// and scratch directories under /tmp (a fresh tmpfs in the sandbox); whole
// files through test_files.h.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <ftw.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_files.h"

namespace testing_support {

using test_files::put_file;
using test_files::slurp;

// Standard output, file descriptor 1, redirected into a file between the
// constructor and text(); child processes write into the same file.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        char name[] = "/tmp/stdout.XXXXXX";
        fd_ = mkstemp(name);
        unlink(name);
        saved_ = dup(1);
        dup2(fd_, 1);
    }
    ~StdoutCapture() { restore(); }
    // Everything written so far; ends the capture.
    std::string text() {
        restore();
        std::string out;
        char buf[4096];
        lseek(fd_, 0, SEEK_SET);
        for (ssize_t n; (n = read(fd_, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
        return out;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        saved_ = -1;
    }
    int fd_ = -1;
    int saved_ = -1;
};

// Receives the trace datagrams on UDP port 8888 (broadcasts included).
class DatagramSink {
public:
    DatagramSink() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(8888);
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~DatagramSink() { close(fd_); }
    bool bound() const { return bound_; }
    // Every datagram that arrives until none has come for `quiet_ms`.
    std::vector<std::string> drain(int quiet_ms = 300) {
        std::vector<std::string> got;
        pollfd p{fd_, POLLIN, 0};
        while (poll(&p, 1, quiet_ms) == 1) {
            char buf[65536];
            const ssize_t n = recv(fd_, buf, sizeof buf, 0);
            if (n < 0) break;
            got.emplace_back(buf, static_cast<size_t>(n));
        }
        return got;
    }

private:
    int fd_ = -1;
    bool bound_ = false;
};

// A fresh directory under /tmp, removed with its contents at the end.
class ScratchDir {
public:
    ScratchDir() {
        char name[] = "/tmp/scratch.XXXXXX";
        path_ = mkdtemp(name);
    }
    ~ScratchDir() {
        nftw(
            path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return remove(p); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace testing_support
