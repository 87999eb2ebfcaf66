// Shared by the fuzz targets: the sandbox guard, quiet standard output, and
// the checks that every text field stays zero-terminated within its width.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The targets write the program's fixed paths under /tmp/hdd/root and send
// trace datagrams: they run only inside tools/sandbox, which mounts its own
// tmpfs named "sandbox-tmp" over /tmp.
inline void fuzz_require_sandbox() {
    FILE* mounts = std::fopen("/proc/self/mounts", "r");
    char line[512];
    bool inside = false;
    while (mounts != nullptr && std::fgets(line, sizeof line, mounts) != nullptr)
        if (std::strncmp(line, "sandbox-tmp /tmp ", 17) == 0) inside = true;
    if (mounts != nullptr) std::fclose(mounts);
    if (!inside) {
        std::fprintf(stderr, "fuzz target: run it inside tools/sandbox (scripts/fuzz does)\n");
        std::exit(2);
    }
}

// The program's progress lines would drown the fuzzer's own (on stderr).
inline void fuzz_quiet_stdout() {
    if (std::getenv("RADIODIR_FUZZ_VERBOSE") != nullptr) return;
    std::fflush(stdout);
    const int fd = open("/dev/null", O_WRONLY);
    if (fd >= 0) {
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
}

inline void fuzz_setup() {
    fuzz_require_sandbox();
    fuzz_quiet_stdout();
}

// A broken property: report it and abort, which the fuzzer records as a crash.
[[noreturn]] inline void fuzz_fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void fuzz_check(bool ok, const char* what) {
    if (!ok) fuzz_fail(what);
}

// The field holds a zero byte within its N bytes.
template <size_t N>
void fuzz_check_field(const char (&field)[N], const char* what) {
    fuzz_check(std::memchr(field, '\0', N) != nullptr, what);
}

// Writes exactly the bytes to `path` (replacing it); false when it fails.
inline bool fuzz_write_file(const char* path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return (std::fclose(f) == 0) && ok;
}
