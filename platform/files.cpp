#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
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

char* read_file(const char* path, uint32_t* length) {
    udp_log("read_file", 184, kSrcLogic, "%s", "");
    std::printf("\n %d, %s, %s \n", 185, "read_file", kSrcLogic);
    const int fd = open(path, O_RDONLY);
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

bool cached_file_usable(const char* path) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    char probe[10];
    const ssize_t got = read(fd, probe, sizeof probe);
    close(fd);
    if (got >= 1) return true;
    remove_file(path);
    return false;
}

void remove_file(const char* path) { (void)unlink(path); }

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
    if (!VxStrCopyZ(af->final_path, final_path, sizeof af->final_path) ||
        !VxFormat(af->tmp_path, sizeof af->tmp_path, "%s.tmp%ld", final_path, static_cast<long>(getpid())))
        return 0;
    af->file = std::fopen(af->tmp_path, "w");
    return af->file != nullptr;
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
