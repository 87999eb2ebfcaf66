#include "platform/storage_root.h"

#include <sys/stat.h>
#include <sys/vfs.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/dir_handle.h"
#include "platform/run_lock.h"
#include "platform/safe_files.h"
#include "platform/text.h"

char storage_root[kStorageRootSize];

void choose_storage_root() {
    struct statfs st;
    copy_text(storage_root, statfs(kExchangeDir, &st) == 0 ? kDiskRoot : kFlashRoot, sizeof storage_root);
}

bool storage_is_flash() { return std::strcmp(storage_root, kFlashRoot) == 0; }

namespace {

// After a failed mkdir: true when the directory is there all the same,
// created by another run between our look and our mkdir. errno is kept for
// the caller's "%m".
bool made_meanwhile(const char* path) {
    const int err = errno;
    struct stat st;
    const bool dir = err == EEXIST && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
    errno = err;
    return dir;
}

bool make_root_announced() {
    VxDirectory* dir = nullptr;
    if (VxOpenDirectory(storage_root, &dir) == 1) {
        VxCloseDirectory(dir);
        return true;
    }
    std::printf("ZORV_IRADIO_FILE_DIR:%s\n", storage_root);
    if (VxFileMkdir(storage_root) == 1 || made_meanwhile(storage_root)) return true;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"  // "%m" is the C library's, not ISO C++'s
    std::printf("%m, mkdir error: '%s'", storage_root);
#pragma GCC diagnostic pop
    return false;
}

}  // namespace

bool enter_storage(RootMaking making, const char* flash_suffix) {
    struct stat st;
    if (lstat(storage_root, &st) == 0 && S_ISLNK(st.st_mode)) remove_file(storage_root);
    if (making == RootMaking::kQuiet)
        (void)mkdir(storage_root, 0744);
    else if (!make_root_announced())
        return false;
    if (!take_run_lock(storage_root, kExchangeDir)) return false;
    if (storage_is_flash()) remove_files_with_suffix(kFlashRoot, flash_suffix);
    return true;
}
