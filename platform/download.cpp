#include "platform/download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

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

// Records that `path` is being downloaded: true when the record is on disk.
bool mark_download(const char* path) {
    char mark[kDownloadPathSize];
    if (!format_text(mark, sizeof mark, "%s%s", path, kMarkSuffix) || !clear_name(mark)) return false;
    const int fd = open(mark, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool made = fd >= 0 && close(fd) == 0;
    if (fd >= 0 && !made) remove_file(mark);
    return made;
}

void unmark_download(const char* path) {
    char mark[kDownloadPathSize];
    if (format_text(mark, sizeof mark, "%s%s", path, kMarkSuffix)) remove_file(mark);
}

// Same file at `path` as the one open on `fd`, reached without a link?
bool still_ours(int fd, const char* path) {
    struct stat mine;
    struct stat there;
    return fstat(fd, &mine) == 0 && lstat(path, &there) == 0 && S_ISREG(there.st_mode) &&
           mine.st_dev == there.st_dev && mine.st_ino == there.st_ino;
}

}  // namespace

bool download_to(const char* url, const char* out_path, uint32_t cap) {
    if (!clear_name(out_path) || !mark_download(out_path)) return false;
    bool ok = false;
    const int fd = open(out_path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
        const char* vec[kWgetSlots];
        for (int i = 0; i < kWgetSlots; ++i) vec[i] = wget_args[i];
        vec[kWgetUrlSlot] = url;
        vec[kWgetOutSlot] = out_path;
        // The downloader opens the name itself: it must have written the
        // very file made here.
        ok = ExecvCmd(kWgetSlots, vec, fd, cap) == 1 && still_ours(fd, out_path);
        close(fd);
        if (!ok) remove_file(out_path);
    }
    unmark_download(out_path);
    return ok;
}

bool is_download_mark(const char* name) {
    const size_t len = std::strlen(name);
    const size_t slen = sizeof kMarkSuffix - 1;
    return len > slen && std::strcmp(name + len - slen, kMarkSuffix) == 0;
}

void clear_interrupted_download(const char* dir, const char* mark) {
    char path[kDownloadPathSize];
    const int len = static_cast<int>(std::strlen(mark) - (sizeof kMarkSuffix - 1));
    if (format_text(path, sizeof path, "%s/%.*s", dir, len, mark)) (void)clear_name(path);
    if (format_text(path, sizeof path, "%s/%s", dir, mark)) (void)clear_name(path);
}
