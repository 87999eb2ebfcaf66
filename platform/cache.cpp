#include "platform/cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/download.h"
#include "platform/safe_files.h"

bool cached_copy_usable(const char* path, uint32_t cap) {
    const int fd = open_regular(path);
    if (fd < 0) return false;
    char first;
    struct stat st;
    const bool fits = read(fd, &first, 1) == 1 && fstat(fd, &st) == 0 && st.st_size <= static_cast<off_t>(cap);
    close(fd);
    return fits;
}

CacheOutcome reuse_or_fetch(const char* url, const char* path, uint32_t cap, const CacheLines& lines,
                            const char* companion) {
    if (lines.looking != nullptr) std::printf(lines.looking, url, path);
    if (cached_copy_usable(path, cap)) {
        std::printf("%s is exist\n", path);
        return CacheOutcome::kReused;
    }
    if (companion != nullptr) remove_file(companion);
    if (lines.fetching != nullptr) std::printf(lines.fetching, url, path);
    if (download_to(url, path, cap)) return CacheOutcome::kFetched;
    if (companion != nullptr) remove_file(companion);
    std::printf(lines.failed, path);
    return CacheOutcome::kFailed;
}
