#include "platform/storage.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "platform/text.h"

char storage_root[kStorageRootSize];

void choose_storage_root() {
    struct statfs st;
    VxStrCopyZ(storage_root, statfs(kExchangeDir, &st) == 0 ? kDiskRoot : kFlashRoot, sizeof storage_root);
}

bool storage_is_flash() { return std::strcmp(storage_root, kFlashRoot) == 0; }

void take_run_lock() {
    static bool held = false;  // a process that runs the front end again keeps its lock
    if (held) return;
    char parent[kStorageRootSize];
    VxStrCopyZ(parent, storage_root, sizeof parent);
    if (char* slash = std::strrchr(parent, '/')) *slash = '\0';
    // Close-on-exec: the downloader must not hold the lock after we end.
    const int fd = open(parent, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    const timespec pause = {0, 50 * 1000 * 1000};
    for (int tries = 0; tries < 1200; ++tries) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            held = true;  // until the process ends
            return;
        }
        nanosleep(&pause, nullptr);
    }
    close(fd);
}
