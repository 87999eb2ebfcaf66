#include "platform/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/download.h"
#include "platform/downloader.h"
#include "platform/limits.h"
#include "platform/safe_files.h"

namespace {

constexpr char kLockName[] = ".lock";

int lock_fd = -1;      // held until the process ends
dev_t locked_dev = 0;  // the storage root it guards
ino_t locked_ino = 0;

// The lock file, opened for locking: a regular file that nobody else may
// open. Anything else at its name (a link, a FIFO, a directory with its
// contents) is replaced, and so is a file of another user, who could hold
// the lock for ever; but not when the storage root has that owner too, as
// on a file system that gives every file the same owner (FAT), where
// replacing it would let two runs hold two locks. The mode is made 0600
// where the file system keeps one. On a read-only file system, where no run
// can change the cache, an existing lock file is opened for reading (enough
// to lock it); kNoLockNeeded when there is none.
constexpr int kNoLockNeeded = -2;
int open_lock_file(int root, uid_t root_owner) {
    struct stat st;
    const bool present = fstatat(root, kLockName, &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (present && (!S_ISREG(st.st_mode) || (st.st_uid != geteuid() && st.st_uid != root_owner)) &&
        !clear_name(root, kLockName))
        return -1;
    int fd = openat(root, kLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EROFS) {
        if (!present) return kNoLockNeeded;
        fd = openat(root, kLockName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) return -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // changed under our feet
        close(fd);
        return -1;
    }
    if ((st.st_mode & 077) != 0) (void)fchmod(fd, 0600);
    return fd;
}

// Waits for the lock while another run holds it, at most as long as a run
// can take (kRunLockWaitSec, less with a shortened download deadline).
// True when held.
bool wait_for_lock(int fd) {
    const timespec pause = {0, 20 * 1000 * 1000};
    const long long until = monotonic_ms() + 1000LL * (2 * download_deadline_sec() + kRunLockMarginSec);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || monotonic_ms() >= until) return false;
        nanosleep(&pause, nullptr);
    }
}

bool answer_temp(const char* name) {
    return is_temp_name(name) && std::strncmp(name, "outfile_", 8) == 0 && name[8] >= '1' && name[8] <= '3' &&
           std::strncmp(name + 9, ".tmp", 4) == 0;
}

// What a run killed before it could finish leaves behind: a download of
// the program's own cut short (download.h), temporary files in the storage
// root, temporary answers in the exchange directory. Links and other odd
// entries at those names go too, directories only as download names.
// Nothing is printed or traced.
void clear_leftovers(int root, const char* exchange_dir) {
    for_each_name(root, [root](const char* name) {
        if (is_temp_name(name)) remove_file(root, name);
        if (is_download_mark(name)) clear_interrupted_download(root, name);
    });
    const int exchange = open(exchange_dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (exchange < 0) return;
    for_each_name(exchange, [exchange](const char* name) {
        if (answer_temp(name)) remove_file(exchange, name);
    });
    close(exchange);
}

}  // namespace

bool take_run_lock(int root, const char* exchange_dir) {
    struct stat st;
    if (fstat(root, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (lock_fd >= 0) {
        if (st.st_dev == locked_dev && st.st_ino == locked_ino) return true;
        close(lock_fd);  // the front end run again with another root
        lock_fd = -1;
    }
    const int fd = open_lock_file(root, st.st_uid);
    if (fd == kNoLockNeeded) return true;
    if (fd < 0) return false;
    if (!wait_for_lock(fd)) {
        close(fd);
        return false;
    }
    lock_fd = fd;
    locked_dev = st.st_dev;
    locked_ino = st.st_ino;
    clear_leftovers(root, exchange_dir);
    return true;
}
