// udplog: prints the trace datagrams that radiodir broadcasts to UDP port
// 8888, one at a time as they arrive. Run it on any machine of the device's
// network segment (or inside tools/sandbox for the tests). See --help.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage: udplog [--port N] [--count N] [--timeout SEC] [--raw | --escape] [--ready FILE]\n"
    "Prints every UDP datagram that arrives on the port (radiodir's trace lines),\n"
    "listening on all addresses, broadcasts included.\n"
    "\n"
    "  --port N       port to listen on (default 8888)\n"
    "  --count N      stop after N datagrams\n"
    "  --timeout SEC  stop once no datagram has arrived for SEC seconds (decimals\n"
    "                 allowed); every datagram starts the wait anew\n"
    "  --raw          write each datagram's bytes exactly as received\n"
    "  --escape       one line per datagram, with C-style escapes: \\t \\n \\r \\\\ and\n"
    "                 \\xHH (lower-case hex) for every other byte outside ' '..'~'\n"
    "  --ready FILE   create FILE once the port is bound (for scripts)\n"
    "  --help         this text\n"
    "\n"
    "Without --raw or --escape each datagram is written as received, followed by\n"
    "a line feed unless it ends in one. Exit status: 0 when done (count reached,\n"
    "time-out or signal), 1 when the port cannot be opened, 2 for bad options.\n";

enum class Mode { kHuman, kRaw, kEscape };

struct Options {
    int port = 8888;
    long count = -1;      // -1: no limit
    double timeout = -1;  // seconds; -1: wait for ever
    Mode mode = Mode::kHuman;
    const char* ready = nullptr;
};

bool parse_long(const char* text, long lo, long hi, long* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool parse_seconds(const char* text, double* out) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= 0) || v > 2000000.0) return false;  // poll() takes int ms
    *out = v;
    return true;
}

// 0 on success, 2 on a usage error, -1 when --help was shown.
int parse_options(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char** v) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "udplog: %s needs a value\n", arg.c_str());
                return false;
            }
            *v = argv[++i];
            return true;
        };
        const char* v = nullptr;
        long n = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--raw") {
            o->mode = Mode::kRaw;
        } else if (arg == "--escape") {
            o->mode = Mode::kEscape;
        } else if (arg == "--port") {
            if (!value(&v)) return 2;
            if (!parse_long(v, 1, 65535, &n)) {
                std::fprintf(stderr, "udplog: bad port '%s'\n", v);
                return 2;
            }
            o->port = static_cast<int>(n);
        } else if (arg == "--count") {
            if (!value(&v)) return 2;
            if (!parse_long(v, 1, 1L << 30, &n)) {
                std::fprintf(stderr, "udplog: bad count '%s'\n", v);
                return 2;
            }
            o->count = n;
        } else if (arg == "--timeout") {
            if (!value(&v)) return 2;
            if (!parse_seconds(v, &o->timeout)) {
                std::fprintf(stderr, "udplog: bad timeout '%s'\n", v);
                return 2;
            }
        } else if (arg == "--ready") {
            if (!value(&v)) return 2;
            o->ready = v;
        } else {
            std::fprintf(stderr, "udplog: unknown option '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    return 0;
}

void write_escaped(const unsigned char* data, size_t len) {
    std::string line;
    line.reserve(len * 2 + 1);
    for (size_t i = 0; i < len; ++i) {
        const unsigned char c = data[i];
        switch (c) {
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            case '\r': line += "\\r"; break;
            case '\\': line += "\\\\"; break;
            default:
                if (c >= 0x20 && c <= 0x7e) {
                    line += static_cast<char>(c);
                } else {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", c);
                    line += hex;
                }
        }
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

void print_datagram(Mode mode, const unsigned char* data, size_t len) {
    switch (mode) {
        case Mode::kRaw:
            std::fwrite(data, 1, len, stdout);
            break;
        case Mode::kEscape:
            write_escaped(data, len);
            break;
        case Mode::kHuman:
            std::fwrite(data, 1, len, stdout);
            if (len == 0 || data[len - 1] != '\n') std::fputc('\n', stdout);
            break;
    }
    std::fflush(stdout);
}

int open_socket(int port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        std::perror("udplog: socket");
        return -1;
    }
    const int on = 1;
    // Several listeners may share the port (a test and a developer's udplog).
    (void)setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    (void)setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "udplog: cannot listen on port %d: %s\n", port, std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    const int parsed = parse_options(argc, argv, &o);
    if (parsed != 0) return parsed < 0 ? 0 : parsed;

    const int fd = open_socket(o.port);
    if (fd < 0) return 1;
    if (o.ready != nullptr) {
        const int rfd = open(o.ready, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (rfd < 0) {
            std::fprintf(stderr, "udplog: cannot create %s: %s\n", o.ready, std::strerror(errno));
            close(fd);
            return 1;
        }
        close(rfd);
    }

    // The largest UDP payload over IPv4, and one byte to spare.
    static unsigned char buf[65536];
    const int wait_ms = o.timeout < 0 ? -1 : static_cast<int>(o.timeout * 1000.0 + 0.5);
    for (long seen = 0; o.count < 0 || seen < o.count;) {
        pollfd p = {fd, POLLIN, 0};
        const int ready = poll(&p, 1, wait_ms);
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::perror("udplog: poll");
            break;
        }
        if (ready == 0) break;  // silence for the whole time-out
        const ssize_t got = recv(fd, buf, sizeof buf, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            std::perror("udplog: recv");
            break;
        }
        print_datagram(o.mode, buf, static_cast<size_t>(got));
        ++seen;
    }
    close(fd);
    return 0;
}
