#include "platform/whole_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "diag/debug_log.h"
#include "platform/safe_files.h"

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
    ssize_t got = buf != nullptr ? 0 : -1;
    while (buf != nullptr) {
        if (capacity / 2 < *length) {
            char* bigger = capacity <= UINT32_MAX / 4 ? static_cast<char*>(std::realloc(buf, capacity * 2 + 1)) : nullptr;
            if (bigger == nullptr) {  // no file of 1 GiB fits the device
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
