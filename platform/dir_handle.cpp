#include "platform/dir_handle.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "diag/debug_log.h"

int VxOpenDirectory(const char* path, VxDirectory** out) {
    udp_log("VxOpenDirectory", 131, kSrcLogic, "%s", "");
    auto* dir = static_cast<VxDirectory*>(std::malloc(sizeof(VxDirectory)));
    if (dir == nullptr) return -1;
    dir->stream = opendir(path);
    if (dir->stream == nullptr) {
        const int err = errno;
        std::free(dir);
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
    std::free(dir);
    return 1;
}

int VxFileMkdir(const char* path) {
    udp_log("VxFileMkdir", 152, kSrcLogic, "%s", "");
    std::printf("pathname:%s\n", path);
    return mkdir(path, 0744) == 0 ? 1 : 0;
}
