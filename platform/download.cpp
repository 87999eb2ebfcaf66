#include "platform/download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "build_settings.h"
#include "platform/downloader.h"
#include "platform/safe_files.h"
#include "platform/text.h"

namespace {

// The record of a download in flight: an empty file beside the cache file,
// named after it with this suffix, made before the downloader starts and
// removed once the download has ended. It takes no room for data, so a
// nearly full disk still records every download that could be written,
// and it holds no content that a killed run could leave half written. No
// cache or temporary name ends so.
constexpr char kMarkSuffix[] = ".downloading";
constexpr int kMarkSize = kRootPathSize + sizeof kMarkSuffix;

// Records that `name` is being downloaded: true when the record is on disk.
bool mark_download(int root, const char* name) {
    char mark[kMarkSize];
    if (!format_text(mark, sizeof mark, "%s%s", name, kMarkSuffix) || !clear_name(root, mark)) return false;
    const int fd = openat(root, mark, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool made = fd >= 0 && close(fd) == 0;
    if (fd >= 0 && !made) remove_file(root, mark);
    return made;
}

void unmark_download(int root, const char* name) {
    char mark[kMarkSize];
    if (format_text(mark, sizeof mark, "%s%s", name, kMarkSuffix)) remove_file(root, mark);
}

// Same file at `name` as the one open on `fd`, reached without a link, and
// within `cap`?
bool still_ours(int fd, int root, const char* name, uint32_t cap) {
    struct stat mine;
    struct stat there;
    return fstat(fd, &mine) == 0 && fstatat(root, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(there.st_mode) && mine.st_dev == there.st_dev && mine.st_ino == there.st_ino &&
           mine.st_size <= static_cast<off_t>(cap);
}

// Gives the file to the downloader's user and group: true when the file
// system keeps them (FAT and exFAT keep no owners, and hold no links).
bool give_to_downloader(int fd) {
    struct stat st;
    return fchown(fd, RADIODIR_DOWNLOADER_UID, RADIODIR_DOWNLOADER_GID) == 0 && fstat(fd, &st) == 0 &&
           st.st_uid == RADIODIR_DOWNLOADER_UID && st.st_gid == RADIODIR_DOWNLOADER_GID;
}

}  // namespace

bool download_to(const RootFile& file, const char* url, uint32_t cap) {
    const int root = file.root->fd;
    if (!clear_name(root, file.name) || !mark_download(root, file.name)) return false;
    bool ok = false;
    const int fd = openat(root, file.name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
        const char* vec[kWgetSlots];
        for (int i = 0; i < kWgetSlots; ++i) vec[i] = wget_args[i];
        vec[kWgetUrlSlot] = url;
        vec[kWgetOutSlot] = file.path;
        const ChildWatch watch = {fd, cap, give_to_downloader(fd)};
        // The downloader opens the name itself: it must have written the
        // very file made here.
        ok = ExecvCmd(kWgetSlots, vec, watch) == 1 && still_ours(fd, root, file.name, cap);
        if (watch.unprivileged) (void)fchown(fd, geteuid(), getegid());
        // On the disk before the record goes; a directory that cannot be
        // synced (some file systems refuse) does not fail the download.
        ok = ok && fsync(fd) == 0;
        (void)fsync(root);
        close(fd);
        if (!ok) remove_file(root, file.name);
    }
    unmark_download(root, file.name);
    return ok;
}

bool is_cache_name(const char* name) {
    return ends_with(name, ".html") || ends_with(name, ".xml") || ends_with(name, ".pls");
}

bool is_download_mark(const char* name) { return ends_with(name, kMarkSuffix); }

void clear_interrupted_download(int root, const char* mark) {
    char name[kRootPathSize];
    const size_t len = std::strlen(mark) - (sizeof kMarkSuffix - 1);
    if (len >= sizeof name) return;
    std::memcpy(name, mark, len);
    name[len] = '\0';
    if (!is_cache_name(name) && !is_temp_name(name)) return;
    (void)clear_name(root, name);
    (void)clear_name(root, mark);
}
