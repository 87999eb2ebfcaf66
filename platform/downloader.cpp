#include "platform/downloader.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "build_settings.h"
#include "diag/debug_log.h"
#include "platform/limits.h"
#include "platform/text.h"

const char* const wget_args[kWgetSlots] = {
    "/sbin/wget", "-t", "1", "-T", "30", "-nd", nullptr, "-O", nullptr, nullptr,
};

namespace {

// How often a running download's file size is looked at (the child's end
// wakes the wait at once). A file may pass its cap by what the downloader
// writes within one tick before it is killed. A size limit on the child
// (RLIMIT_FSIZE) would be exact, but it also strikes the downloader's own
// progress output when that goes to a log file already larger than the cap.
constexpr long kWatchTickMs = 10;

// The downloader's user and group, and no others. The child is one thread:
// the system calls themselves change its ids (the C library's wrappers bring
// in their machinery for every thread of a process). Where 16-bit ids came
// first (ARM), the 32-bit calls have their own names.
bool become_downloader() {
#ifdef SYS_setuid32
    return syscall(SYS_setgroups32, 0, nullptr) == 0 && syscall(SYS_setgid32, RADIODIR_DOWNLOADER_GID) == 0 &&
           syscall(SYS_setuid32, RADIODIR_DOWNLOADER_UID) == 0;
#else
    return syscall(SYS_setgroups, 0, nullptr) == 0 && syscall(SYS_setgid, RADIODIR_DOWNLOADER_GID) == 0 &&
           syscall(SYS_setuid, RADIODIR_DOWNLOADER_UID) == 0;
#endif
}

// In the child, before exec: its own process group (so that it can be
// killed with whatever it starts), death with the program, so that a run
// killed by the interface does not leave a downloader writing on, and the
// downloader's user when asked (a child that cannot change user ends).
void prepare_child(pid_t parent, const sigset_t* mask, bool unprivileged) {
    (void)setpgid(0, 0);
    (void)prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(-1);  // the program is gone already
    if (unprivileged && !become_downloader()) _exit(-1);
    (void)prctl(PR_SET_PDEATHSIG, SIGKILL);  // a change of user clears it
    (void)sigprocmask(SIG_SETMASK, mask, nullptr);
}

// Kills the children of this process (the program is the subreaper of all
// it started), each with its process group. True when there was one.
bool kill_children() {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return false;
    bool any = false;
    char path[64];
    char stat[256];
    while (const dirent* e = readdir(proc)) {
        const int pid = std::atoi(e->d_name);
        if (pid <= 0 || !format_text(path, sizeof path, "/proc/%d/stat", pid)) continue;
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        const ssize_t n = fd >= 0 ? read(fd, stat, sizeof stat - 1) : -1;
        if (fd >= 0) close(fd);
        if (n <= 0) continue;
        stat[n] = '\0';
        // "pid (name) state ppid ...": the name ends at the last ")".
        const char* name_end = std::strrchr(stat, ')');
        if (name_end == nullptr || std::atoi(name_end + 4) != getpid()) continue;
        (void)kill(-pid, SIGKILL);
        (void)kill(pid, SIGKILL);
        any = true;
    }
    closedir(proc);
    return any;
}

// Ends and reaps every process the child left: one whose parent ended has
// become the program's child, whatever session or group it made itself.
void end_descendants() {
    for (int round = 0; round < 256; ++round) {
        pid_t r = waitpid(-1, nullptr, WNOHANG);
        if (r < 0 && errno != EINTR) return;  // no child left
        if (r > 0) continue;
        if (r == 0 && !kill_children()) return;
        do {
            r = waitpid(-1, nullptr, 0);
        } while (r < 0 && errno == EINTR);
    }
}

// Waits for the child to end, without reaping it, until the deadline or
// until the watched file passes the cap. True when it ended by itself.
bool watch(pid_t child, const sigset_t* chld, const ChildWatch& w) {
    const long long deadline = monotonic_ms() + 1000LL * download_deadline_sec();
    for (;;) {
        siginfo_t info;
        std::memset(&info, 0, sizeof info);
        const int r = waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT);
        if (r == 0 && info.si_pid == child) return true;
        if (r != 0 && errno != EINTR) return true;  // nothing to wait for: reaped below
        struct stat st;
        if (w.cap != 0 && w.out_fd >= 0 && fstat(w.out_fd, &st) == 0 && st.st_size > static_cast<off_t>(w.cap))
            return false;
        const long long left = deadline - monotonic_ms();
        if (left <= 0) return false;
        const long long tick = left < kWatchTickMs ? left : kWatchTickMs;
        const timespec pause = {static_cast<time_t>(tick / 1000), static_cast<long>(tick % 1000) * 1000000L};
        (void)sigtimedwait(chld, nullptr, &pause);
    }
}

// The child's wait status, once it has ended or been killed with its group,
// and whether it ended by itself (the watch did not kill it); false when
// there was no child.
bool run_watched(const char* const* vec, const ChildWatch& w, int* status, bool* ended) {
    // SIGCHLD held back, so that the child's end can be waited for with a
    // time-out; its disposition must not be "ignore" (inherited from the
    // caller), or the child would be reaped behind the program's back.
    sigset_t chld;
    sigset_t old_mask;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    (void)sigprocmask(SIG_BLOCK, &chld, &old_mask);
    struct sigaction dfl;
    struct sigaction old_action;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    (void)sigaction(SIGCHLD, &dfl, &old_action);

    (void)prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        prepare_child(parent, &old_mask, w.unprivileged);
        execv(vec[0], const_cast<char* const*>(vec));
        _exit(-1);
    }
    bool ran = false;
    if (child > 0) {
        (void)setpgid(child, child);  // done by both, whichever comes first
        *ended = watch(child, &chld, w);
        // The group goes in any case: what the downloader started must not
        // write on after it. The child is not reaped yet, so its process
        // group cannot be anybody else's.
        (void)kill(-child, SIGKILL);
        if (!*ended) (void)kill(child, SIGKILL);
        pid_t r;
        do {
            r = waitpid(child, status, 0);
        } while (r < 0 && errno == EINTR);
        ran = r == child;
        end_descendants();
    }
    (void)sigaction(SIGCHLD, &old_action, nullptr);
    (void)sigprocmask(SIG_SETMASK, &old_mask, nullptr);
    return ran;
}

// A downloader that dies by a signal the program did not send has crashed
// (a BusyBox wget built without its time-out option does so on "-T"), or
// someone else killed it: one more datagram names the signal. The numbers
// differ between architectures, so the names are looked up by constant.
constexpr int kSignalTraceLine = 98;
void trace_signal(int sig) {
    static const struct {
        int sig;
        char name[5];
    } kNames[] = {
        {SIGHUP, "HUP"},   {SIGINT, "INT"},   {SIGQUIT, "QUIT"}, {SIGILL, "ILL"},   {SIGTRAP, "TRAP"},
        {SIGABRT, "ABRT"}, {SIGBUS, "BUS"},   {SIGFPE, "FPE"},   {SIGKILL, "KILL"}, {SIGUSR1, "USR1"},
        {SIGSEGV, "SEGV"}, {SIGUSR2, "USR2"}, {SIGPIPE, "PIPE"}, {SIGALRM, "ALRM"}, {SIGTERM, "TERM"},
        {SIGXCPU, "XCPU"}, {SIGXFSZ, "XFSZ"}, {SIGSYS, "SYS"},
    };
    for (const auto& n : kNames) {
        if (n.sig != sig) continue;
        udp_log("ExecvCmd", kSignalTraceLine, kSrcLogic, "downloader killed by signal %d (SIG%s)", sig, n.name);
        return;
    }
    udp_log("ExecvCmd", kSignalTraceLine, kSrcLogic, "downloader killed by signal %d", sig);
}

}  // namespace

long long monotonic_ms() {
    timespec t = {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

int download_deadline_sec() {
    const char* setting = std::getenv("RADIODIR_DOWNLOAD_DEADLINE");
    if (setting == nullptr) return kDownloadDeadlineSec;
    const int sec = std::atoi(setting);
    return sec > 0 && sec < kDownloadDeadlineSec ? sec : kDownloadDeadlineSec;
}

int ExecvCmd(int count, const char* const* vec, const ChildWatch& limits) {
    udp_log_argv("ExecvCmd", 73, kSrcLogic, count, vec);
    std::printf("%s\n", vec[kWgetUrlSlot] != nullptr ? vec[kWgetUrlSlot] : "(null)");
    // The child inherits stdio buffers: flush them so that nothing is
    // written twice and the URL line comes before the downloader's output.
    std::fflush(nullptr);

    int status = 0;
    bool ended = false;
    // No child, or one ended by a signal (ours or another): nothing printed.
    if (!run_watched(vec, limits, &status, &ended)) return 0;
    if (WIFSIGNALED(status) && ended) trace_signal(WTERMSIG(status));
    if (!WIFEXITED(status)) return 0;
    if (WEXITSTATUS(status) == 0) return 1;
    std::printf("exec ");
    for (int i = 0; vec[i] != nullptr; ++i) std::printf("%s ", vec[i]);
    std::printf("failed\n");
    return 0;
}
