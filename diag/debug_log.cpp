#include "diag/debug_log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

void send_line(const char* text, size_t len) {
    sockaddr_in dest;
    std::memset(&dest, 0, sizeof dest);
    dest.sin_family = AF_INET;
    dest.sin_port = htons(kLogPort);
    dest.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd == -1) return;
    const int on = 1;
    (void)setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    (void)sendto(fd, text, len, 0, reinterpret_cast<const sockaddr*>(&dest), sizeof dest);
    (void)shutdown(fd, SHUT_RDWR);
    (void)close(fd);
}

// Length of what snprintf put into a buffer of `size`: its return value,
// or the buffer's end when the text was cut.
size_t written(int n, size_t size) {
    if (n < 0) return 0;
    return static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
}

void vlog(const char* func, int line, const char* file, const char* fmt, va_list ap) {
    const int saved_errno = errno;  // "%m" must see the caller's error
    char buf[kLogLineSize];
    size_t len = written(std::snprintf(buf, sizeof buf, "\t\t\t\t\t\t\t\t%s[%04d] : %s\n", file, line, func),
                         sizeof buf);
    errno = saved_errno;
    len += written(std::vsnprintf(buf + len, sizeof buf - len, fmt, ap), sizeof buf - len);
    send_line(buf, len);
    errno = saved_errno;
}

}  // namespace

void udp_log(const char* func, int line, const char* file, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vlog(func, line, file, fmt, ap);
    va_end(ap);
}

void udp_log_argv(const char* func, int line, const char* file, int count, const char* const* vec) {
    char dump[kLogArgvSize];
    size_t len = written(std::snprintf(dump, sizeof dump, "****argv : "), sizeof dump);
    for (int i = 0; i < count && len + 1 < sizeof dump; ++i) {
        const char* slot = vec[i] != nullptr ? vec[i] : "NULL";
        len += written(std::snprintf(dump + len, sizeof dump - len, " %s", slot), sizeof dump - len);
    }
    udp_log(func, line, file, "%s", dump);
}
