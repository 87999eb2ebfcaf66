#include "platform/download.h"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "diag/debug_log.h"

const char* const wget_args[kWgetSlots] = {
    "/sbin/wget", "-t", "1", "-T", "30", "-nd", nullptr, "-O", nullptr, nullptr,
};

int ExecvCmd(int count, const char* const* vec) {
    udp_log_argv("ExecvCmd", 73, kSrcLogic, count, vec);
    std::printf("%s\n", vec[kWgetUrlSlot] != nullptr ? vec[kWgetUrlSlot] : "(null)");
    // The child inherits stdio buffers: flush them so that nothing is
    // written twice and the URL line comes before the downloader's output.
    std::fflush(nullptr);

    const pid_t child = fork();
    if (child < 0) return 0;
    if (child == 0) {
        execv(vec[0], const_cast<char* const*>(vec));
        _exit(-1);
    }
    int status = 0;
    pid_t r;
    do {
        r = waitpid(child, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return 0;
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 0) return 1;
        std::printf("exec ");
        for (int i = 0; vec[i] != nullptr; ++i) std::printf("%s ", vec[i]);
        std::printf("failed\n");
        return 0;
    }
    return 0;  // ended by a signal
}

int download_to(const char* url, const char* out_path) {
    const char* vec[kWgetSlots];
    for (int i = 0; i < kWgetSlots; ++i) vec[i] = wget_args[i];
    vec[kWgetUrlSlot] = url;
    vec[kWgetOutSlot] = out_path;
    return ExecvCmd(kWgetSlots, vec);
}
