#include "platform/storage_root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

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

int entered_fd = -1;  // the storage root's descriptor, kept until the process ends

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

bool enter_storage(RootMaking making, const char* flash_suffix, StorageDir* dir) {
    struct stat st;
    if (lstat(storage_root, &st) == 0 && S_ISLNK(st.st_mode)) remove_file(AT_FDCWD, storage_root);
    if (making == RootMaking::kQuiet)
        (void)mkdir(storage_root, 0744);
    else if (!make_root_announced())
        return false;
    if (entered_fd >= 0) close(entered_fd);
    entered_fd = open(storage_root, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (entered_fd < 0 || fstat(entered_fd, &st) != 0) return false;
    // Searchable by the downloader's user: it opens its file by path.
    if ((st.st_mode & 011) != 011) (void)fchmod(entered_fd, (st.st_mode & 07777) | 011);
    *dir = StorageDir{entered_fd, storage_root, storage_is_flash(), time(nullptr)};
    if (!take_run_lock(entered_fd, kExchangeDir)) return false;
    if (dir->flash) remove_files_with_suffix(entered_fd, flash_suffix);
    return true;
}

bool root_file(RootFile* f, const StorageDir& root, const char* name) {
    f->root = &root;
    return std::strchr(name, '/') == nullptr && copy_text(f->name, name, sizeof f->name) &&
           format_text(f->path, sizeof f->path, "%s/%s", root.path, name);
}

const char* name_in_root(const char* path, const char* root) {
    const size_t n = std::strlen(root);
    const bool in = std::strncmp(path, root, n) == 0 && path[n] == '/' && path[n + 1] != '\0' &&
                    std::strchr(path + n + 1, '/') == nullptr;
    return in ? path + n + 1 : nullptr;
}
