#include "platform/safe_files.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/text.h"

int open_regular(int dir, const char* name) {
    // Looked at first, so that a device node is never opened at all.
    struct stat st;
    if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISLNK(st.st_mode) ? ELOOP : EINVAL;
        return -1;
    }
    const int fd = openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // changed meanwhile
        close(fd);
        errno = EINVAL;
        return -1;
    }
    // Reads of a regular file never block; the flag only mattered for
    // opening a FIFO. Cleared so that no later reader is surprised.
    (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

FILE* fopen_regular(const char* path) {
    const int fd = open_regular(AT_FDCWD, path);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "r");
    if (f == nullptr) close(fd);
    return f;
}

namespace {

constexpr char kTempMark[] = ".tmp";
static_assert(sizeof kTempMark - 1 + 8 == kTempSuffixMax);

// A name nobody can guess ahead: the process, the clock and a counter.
uint32_t temp_tag() {
    static uint32_t counter = 0;
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long parts[] = {static_cast<long>(getpid()), static_cast<long>(now.tv_nsec),
                          static_cast<long>(now.tv_sec), static_cast<long>(++counter)};
    return fnv1a32(reinterpret_cast<const char*>(parts), sizeof parts);
}

// Empties the directory `name` in `dir` and removes it, `depth` levels at
// most, never through a link.
bool remove_tree(int dir, const char* name, int depth) {
    if (unlinkat(dir, name, AT_REMOVEDIR) == 0 || errno == ENOENT) return true;
    const int fd = depth > 0 ? openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (fd < 0) return false;
    for_each_name(fd, [fd, depth](const char* entry) {
        if (std::strcmp(entry, ".") != 0 && std::strcmp(entry, "..") != 0 && unlinkat(fd, entry, 0) != 0)
            (void)remove_tree(fd, entry, depth - 1);
    });
    close(fd);
    return unlinkat(dir, name, AT_REMOVEDIR) == 0;
}

}  // namespace

int create_temp(int dir, char* tmp, size_t size, const char* final_name) {
    for (int attempt = 0; attempt < 32; ++attempt) {
        if (!format_text(tmp, size, "%s%s%08x", final_name, kTempMark, temp_tag())) return -1;
        const int fd = openat(dir, tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool is_temp_name(const char* name) {
    const size_t len = std::strlen(name);
    if (len <= kTempSuffixMax) return false;
    const char* tail = name + len - kTempSuffixMax;
    if (std::memcmp(tail, kTempMark, sizeof kTempMark - 1) != 0) return false;
    for (const char* d = tail + sizeof kTempMark - 1; *d != '\0'; ++d)
        if (!((*d >= '0' && *d <= '9') || (*d >= 'a' && *d <= 'f'))) return false;
    return true;
}

void remove_file(int dir, const char* name) { (void)unlinkat(dir, name, 0); }

bool clear_name(int dir, const char* name) {
    struct stat st;
    if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (S_ISDIR(st.st_mode)) return remove_tree(dir, name, kClearDepth);
    return unlinkat(dir, name, 0) == 0 || errno == ENOENT;
}

void remove_files_with_suffix(int dir, const char* suffix) {
    for_each_name(dir, [dir, suffix](const char* name) {
        struct stat st;
        if (ends_with(name, suffix) && fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            remove_file(dir, name);
    });
}
