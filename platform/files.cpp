#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "diag/debug_log.h"
#include "platform/text.h"

int VxOpenDirectory(const char* path, VxDirectory** out) {
    udp_log("VxOpenDirectory", 131, kSrcLogic, "%s", "");
    auto* dir = static_cast<VxDirectory*>(VxMalloc(sizeof(VxDirectory)));
    if (dir == nullptr) return -1;
    dir->stream = opendir(path);
    if (dir->stream == nullptr) {
        const int err = errno;
        VxFree(dir);
        errno = err;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"  // "%m" is the C library's, not ISO C++'s
        udp_log("VxOpenDirectory", 141, kSrcLogic, "%m");
#pragma GCC diagnostic pop
        return -1;
    }
    *out = dir;
    return 1;
}

int VxCloseDirectory(VxDirectory* dir) {
    udp_log("VxCloseDirectory", 162, kSrcLogic, "%s", "");
    if (closedir(dir->stream) < 0) return -2;
    VxFree(dir);
    return 1;
}

int VxFileMkdir(const char* path) {
    udp_log("VxFileMkdir", 152, kSrcLogic, "%s", "");
    std::printf("pathname:%s\n", path);
    return mkdir(path, 0744) == 0 ? 1 : 0;
}

char* read_file(const char* path, uint32_t* length, uint32_t max) {
    udp_log("read_file", 184, kSrcLogic, "%s", "");
    std::printf("\n %d, %s, %s \n", 185, "read_file", kSrcLogic);
    const int fd = open_regular(path);
    if (fd < 0) {
        std::printf("the file is not exist\n");
        return nullptr;
    }
    // One byte beyond the capacity always stays free for the end mark.
    uint32_t capacity = 512;
    char* buf = static_cast<char*>(std::malloc(capacity + 1));
    if (buf == nullptr) {
        close(fd);
        return nullptr;
    }
    ssize_t got;
    for (;;) {
        if (capacity / 2 < *length) {
            if (capacity > UINT32_MAX / 4) {  // no file of 1 GiB fits the device
                got = -1;
                break;
            }
            char* bigger = static_cast<char*>(std::realloc(buf, capacity * 2 + 1));
            if (bigger == nullptr) {
                got = -1;
                break;
            }
            buf = bigger;
            capacity *= 2;
        }
        got = read(fd, buf + *length, capacity - *length);
        if (got <= 0) break;
        *length += static_cast<uint32_t>(got);
        if (*length > max) {
            got = -1;
            break;
        }
    }
    close(fd);
    if (got < 0) {
        std::free(buf);
        *length = 0;
        return nullptr;
    }
    if (*length != 0 && *length < capacity) {
        char* exact = static_cast<char*>(std::realloc(buf, *length + 1));
        if (exact != nullptr) buf = exact;
    }
    buf[*length] = '\0';
    return buf;
}

int free_file(char** buffer) {
    udp_log("free_file", 237, kSrcLogic, "%s", "");
    std::free(*buffer);
    *buffer = nullptr;
    return 1;
}

bool cached_file_usable(const char* path, uint32_t cap) {
    const int fd = open_regular(path);
    if (fd < 0) return false;
    char probe[10];
    const ssize_t got = read(fd, probe, sizeof probe);
    struct stat st;
    const bool within = fstat(fd, &st) == 0 && st.st_size <= static_cast<off_t>(cap);
    close(fd);
    if (got >= 1 && within) return true;
    remove_file(path);
    return false;
}

void remove_file(const char* path) { (void)unlink(path); }

int open_regular(const char* path) {
    // Looked at first, so that a device node is never opened at all.
    struct stat st;
    if (lstat(path, &st) != 0) return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISLNK(st.st_mode) ? ELOOP : EINVAL;
        return -1;
    }
    const int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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
    const int fd = open_regular(path);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "r");
    if (f == nullptr) close(fd);
    return f;
}

namespace {

constexpr char kTempMark[] = ".tmp";
constexpr int kTempDigits = 8;
static_assert(sizeof kTempMark - 1 + kTempDigits == kTempSuffixMax);

// A name nobody can guess ahead: the process, the clock and a counter.
uint32_t temp_tag() {
    static uint32_t counter = 0;
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long parts[] = {static_cast<long>(getpid()), static_cast<long>(now.tv_nsec),
                          static_cast<long>(now.tv_sec), static_cast<long>(++counter)};
    return fnv1a32(reinterpret_cast<const char*>(parts), sizeof parts);
}

}  // namespace

int create_temp(char* tmp, size_t size, const char* final_path) {
    for (int attempt = 0; attempt < 32; ++attempt) {
        if (!VxFormat(tmp, size, "%s%s%08x", final_path, kTempMark, temp_tag())) return -1;
        const int fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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

int clear_name(const char* path) {
    struct stat st;
    if (lstat(path, &st) != 0) return errno == ENOENT ? 1 : 0;
    if (S_ISDIR(st.st_mode)) return rmdir(path) == 0 ? 1 : 0;
    return unlink(path) == 0 || errno == ENOENT ? 1 : 0;
}

void remove_files_with_suffix(const char* dir, const char* suffix) {
    DIR* d = opendir(dir);
    if (d == nullptr) return;
    const int dfd = dirfd(d);
    const size_t slen = std::strlen(suffix);
    while (const dirent* e = readdir(d)) {
        const size_t nlen = std::strlen(e->d_name);
        if (nlen <= slen || std::memcmp(e->d_name + nlen - slen, suffix, slen) != 0) continue;
        struct stat st;
        if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        (void)unlinkat(dfd, e->d_name, 0);
    }
    closedir(d);
}

int atomic_open(AtomicFile* af, const char* final_path) {
    std::memset(af, 0, sizeof *af);
    if (!VxStrCopyZ(af->final_path, final_path, sizeof af->final_path)) return 0;
    const int fd = create_temp(af->tmp_path, sizeof af->tmp_path, final_path);
    if (fd < 0) return 0;
    af->file = fdopen(fd, "w");
    if (af->file == nullptr) {
        close(fd);
        (void)unlink(af->tmp_path);
        return 0;
    }
    return 1;
}

int atomic_commit(AtomicFile* af) {
    if (af->file == nullptr) return 0;
    const bool ok = std::fflush(af->file) == 0 && !std::ferror(af->file);
    const bool closed = std::fclose(af->file) == 0;
    af->file = nullptr;
    if (!ok || !closed || std::rename(af->tmp_path, af->final_path) != 0) {
        (void)unlink(af->tmp_path);
        return 0;
    }
    return 1;
}

void atomic_abort(AtomicFile* af) {
    if (af->file != nullptr) std::fclose(af->file);
    af->file = nullptr;
    (void)unlink(af->tmp_path);
}
