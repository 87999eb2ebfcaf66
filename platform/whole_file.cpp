#include "platform/whole_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/debug_log.h"
#include "platform/safe_files.h"

char* read_whole(int fd, uint32_t max, size_t padding, size_t* length) {
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size > static_cast<off_t>(max) ||
        static_cast<uint64_t>(st.st_size) >= SIZE_MAX / 2)
        return nullptr;
    const size_t size = static_cast<size_t>(st.st_size);
    char* buf = static_cast<char*>(std::malloc(size + 1 + padding));
    size_t got = 0;
    for (ssize_t n = 1; buf != nullptr && got <= size && n != 0;) {
        n = read(fd, buf + got, size + 1 - got);
        if (n < 0 && errno != EINTR) got = size + 1;
        if (n > 0) got += static_cast<size_t>(n);
    }
    if (buf == nullptr || got > size) {
        std::free(buf);
        return nullptr;
    }
    std::memset(buf + got, 0, 1 + padding);
    *length = got;
    return buf;
}

char* read_file(int dir, const char* name, uint32_t* length, uint32_t max) {
    udp_log("read_file", 184, kSrcLogic, "%s", "");
    std::printf("\n %d, %s, %s \n", 185, "read_file", kSrcLogic);
    const int fd = open_regular(dir, name);
    if (fd < 0) {
        std::printf("the file is not exist\n");
        return nullptr;
    }
    size_t got = 0;
    char* buf = read_whole(fd, max, 0, &got);
    close(fd);
    *length = static_cast<uint32_t>(got);
    return buf;
}

int free_file(char** buffer) {
    udp_log("free_file", 237, kSrcLogic, "%s", "");
    std::free(*buffer);
    *buffer = nullptr;
    return 1;
}
