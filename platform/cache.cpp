#include "platform/cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "build_settings.h"
#include "platform/download.h"
#include "platform/safe_files.h"
#include "platform/text.h"

namespace {

constexpr uint64_t kBudgetBytes = uint64_t{RADIODIR_CACHE_BUDGET_MB} * 1024 * 1024;
constexpr int kOldest = 32;  // files evicted per look at the directory
constexpr int kLooks = 4;    // looks per run: a crowded disk is trimmed over several runs

void remove_companion(int root, const char* name) {
    char companion[kRootPathSize + sizeof kCompanionSuffix];
    if (format_text(companion, sizeof companion, "%s%s", name, kCompanionSuffix)) remove_file(root, companion);
}

struct Candidate {
    time_t used;
    char name[kRootPathSize];
};

// Keeps `name` among the `oldest` (ascending by use) when it is older than
// one of them.
void keep_if_older(Candidate (&oldest)[kOldest], int* found, time_t used, const char* name) {
    int at = *found;
    if (at == kOldest && oldest[kOldest - 1].used <= used) return;
    if (at == kOldest) --at;
    else ++*found;
    for (; at > 0 && oldest[at - 1].used > used; --at) oldest[at] = oldest[at - 1];
    oldest[at].used = used;
    std::strcpy(oldest[at].name, name);
}

// One look at the directory: the bytes of the budgeted files, and the
// oldest used of those this run has not used.
uint64_t look(int root, time_t entered, Candidate (&oldest)[kOldest], int* found) {
    uint64_t bytes = 0;
    *found = 0;
    for_each_name(root, [&](const char* name) {
        struct stat st;
        if (!is_cache_name(name) || fstatat(root, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            return;
        bytes += static_cast<uint64_t>(st.st_size);
        if (st.st_atime < entered && std::strlen(name) < kRootPathSize) keep_if_older(oldest, found, st.st_atime, name);
    });
    return bytes;
}

// The disk's cache within its budget: the least recently used files go
// first (a total file with its count memo), never one this run has used.
void keep_within_budget(const StorageDir& root) {
    Candidate oldest[kOldest];
    for (int round = 0; round < kLooks; ++round) {
        int found = 0;
        uint64_t bytes = look(root.fd, root.entered, oldest, &found);
        for (int i = 0; i < found && bytes > kBudgetBytes; ++i) {
            struct stat st;
            if (fstatat(root.fd, oldest[i].name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            remove_file(root.fd, oldest[i].name);
            remove_companion(root.fd, oldest[i].name);
            bytes -= static_cast<uint64_t>(st.st_size);
        }
        if (bytes <= kBudgetBytes || found < kOldest) return;
    }
}

// Counts the copy as used now (its access time; its modification time,
// which a count memo names, stays).
void mark_used(const RootFile& file) {
    const timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_OMIT}};
    (void)utimensat(file.root->fd, file.name, times, AT_SYMLINK_NOFOLLOW);
}

}  // namespace

bool young_enough(time_t mtime, uint32_t max_age) {
    return max_age == 0 || int64_t{time(nullptr)} - int64_t{mtime} <= int64_t{max_age};
}

bool cached_copy_usable(const RootFile& file, uint32_t cap, uint32_t max_age) {
    const int fd = open_regular(file.root->fd, file.name);
    if (fd < 0) return false;
    char first;
    struct stat st;
    const bool fits = read(fd, &first, 1) == 1 && fstat(fd, &st) == 0 && st.st_size <= static_cast<off_t>(cap) &&
                      young_enough(st.st_mtime, max_age);
    close(fd);
    return fits;
}

CacheOutcome reuse_or_fetch(const RootFile& file, const char* url, uint32_t cap, const CacheLines& lines) {
    const int root = file.root->fd;
    if (lines.looking != nullptr) std::printf(lines.looking, url, file.path);
    if (cached_copy_usable(file, cap)) {
        std::printf("%s is exist\n", file.path);
        mark_used(file);
        return CacheOutcome::kReused;
    }
    remove_companion(root, file.name);
    if (lines.fetching != nullptr) std::printf(lines.fetching, url, file.path);
    if (download_to(file, url, cap)) {
        if (!file.root->flash) keep_within_budget(*file.root);
        return CacheOutcome::kFetched;
    }
    remove_companion(root, file.name);
    std::printf(lines.failed, file.path);
    return CacheOutcome::kFailed;
}
