// linkswap: what someone who can write the storage root does while a run is
// in flight. It watches one directory with inotify and, the moment a given
// name turns up there, puts a symbolic link in its place, prepared ahead so
// that the swap is one rename:
//   name DIR NAME TARGET       each time NAME is created in DIR or moved
//                              there, a link to TARGET is renamed over it
//   root DIR NAME TARGET AWAY  the first time NAME is opened, created or
//                              moved into DIR, DIR and a link to TARGET
//                              (made at AWAY) change places in one exchange:
//                              DIR is then at AWAY, the link at DIR
// It touches nothing but DIR, its own link and AWAY; it reports each swap on
// standard error and ends on SIGTERM or SIGINT, after the time-out, or once
// it has exchanged the directory.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage: linkswap [--timeout SEC] [--delay MS] [--ready FILE] name DIR NAME TARGET\n"
    "       linkswap [--timeout SEC] [--delay MS] [--ready FILE] root DIR NAME TARGET AWAY\n"
    "name: each time NAME is created in DIR or moved there, a link to TARGET,\n"
    "      made beforehand in DIR, is renamed over it.\n"
    "root: the first time NAME is opened, created or moved into DIR, DIR and a\n"
    "      link to TARGET made at AWAY change places (DIR goes to AWAY).\n"
    "--delay MS waits that long between seeing NAME and swapping; --timeout SEC\n"
    "(default 30) ends the watch; --ready FILE (a file or a FIFO) is created, or\n"
    "written, with the line \"watching\" once it is watching.\n"
    "Each swap is reported on standard error, the count at the end.\n";

timespec start;

double elapsed_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1e3 + (now.tv_nsec - start.tv_nsec) / 1e6;
}

void pause_ms(long ms) {
    const timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

int fail(const char* what, const std::string& path) {
    std::fprintf(stderr, "linkswap: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    long timeout_sec = 30, delay_ms = 0;
    const char* ready = nullptr;
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        if (std::strcmp(argv[i], "--timeout") == 0) timeout_sec = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--delay") == 0) delay_ms = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--ready") == 0) ready = argv[i + 1];
        else break;
    }
    const int left = argc - i;
    const bool root_mode = left == 5 && std::strcmp(argv[i], "root") == 0;
    if (!root_mode && !(left == 4 && std::strcmp(argv[i], "name") == 0)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string dir = argv[i + 1], name = argv[i + 2], target = argv[i + 3];
    // Where the link waits: beside NAME, or at AWAY for the exchange.
    const std::string link = root_mode ? argv[i + 4] : dir + "/.linkswap." + std::to_string(getpid());
    clock_gettime(CLOCK_MONOTONIC, &start);

    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGTERM);
    sigaddset(&sigs, SIGINT);
    sigprocmask(SIG_BLOCK, &sigs, nullptr);
    const int sfd = signalfd(-1, &sigs, SFD_CLOEXEC);
    const int ifd = inotify_init1(IN_CLOEXEC);
    const uint32_t mask = IN_CREATE | IN_MOVED_TO | (root_mode ? IN_OPEN : IN_MOVED_FROM);
    if (sfd < 0 || ifd < 0 || inotify_add_watch(ifd, dir.c_str(), mask | IN_ONLYDIR) < 0)
        return fail("cannot watch", dir);
    if (symlink(target.c_str(), link.c_str()) != 0) return fail("cannot make the link", link);
    if (ready != nullptr) {  // a line, so that a FIFO's reader needs no end of file
        const int fd = open(ready, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || write(fd, "watching\n", 9) != 9 || close(fd) != 0) return fail("cannot write", ready);
    }

    int swaps = 0;
    bool done = false;
    uint32_t own_cookie = 0;  // the rename of our own link into NAME
    alignas(inotify_event) char buf[64 * 1024];
    pollfd fds[2] = {{ifd, POLLIN, 0}, {sfd, POLLIN, 0}};
    while (!done) {
        const double left_ms = timeout_sec * 1e3 - elapsed_ms();
        if (left_ms <= 0 || poll(fds, 2, static_cast<int>(left_ms) + 1) < 0 || fds[1].revents != 0) break;
        if (fds[0].revents == 0) continue;
        const ssize_t n = read(ifd, buf, sizeof buf);
        for (ssize_t at = 0; at < n && !done;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
            at += static_cast<ssize_t>(sizeof *ev + ev->len);
            const char* ev_name = ev->len != 0 ? ev->name : "";
            if ((ev->mask & IN_MOVED_FROM) != 0) {
                if (link == dir + "/" + ev_name) own_cookie = ev->cookie;
                continue;
            }
            if (name != ev_name || ((ev->mask & IN_MOVED_TO) != 0 && ev->cookie == own_cookie)) continue;
            const double seen = elapsed_ms();
            if (delay_ms > 0) pause_ms(delay_ms);
            const std::string path = dir + "/" + name;
            if (root_mode) {
                if (renameat2(AT_FDCWD, dir.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) != 0)
                    return fail("cannot exchange", dir);
                std::fprintf(stderr, "linkswap: %.3f ms: %s seen; %.3f ms: %s swapped for a link to %s",
                             seen, name.c_str(), elapsed_ms(), dir.c_str(), target.c_str());
                std::fprintf(stderr, " (moved to %s)\n", link.c_str());
                done = true;
            } else {
                if (rename(link.c_str(), path.c_str()) != 0) return fail("cannot rename over", path);
                std::fprintf(stderr, "linkswap: %.3f ms: %s swapped for a link to %s\n", seen, path.c_str(),
                             target.c_str());
                if (symlink(target.c_str(), link.c_str()) != 0) return fail("cannot make the link", link);
            }
            ++swaps;
        }
    }
    if (!done) unlink(link.c_str());  // the link not used
    std::fprintf(stderr, "linkswap: %d swap%s\n", swaps, swaps == 1 ? "" : "s");
    return 0;
}
