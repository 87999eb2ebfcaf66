// The device's downloader, run as a child process under the program's
// watch: its argument vector, a deadline for every run, a size cap on the
// file it writes, and nothing it started left running afterwards.
#pragma once

#include <cstdint>

inline constexpr int kWgetSlots = 10;
inline constexpr int kWgetUrlSlot = 6;
inline constexpr int kWgetOutSlot = 8;

// "/sbin/wget -t 1 -T 30 -nd URL -O FILE": one try, 30 s network time-out.
extern const char* const wget_args[kWgetSlots];

// How the child runs and what is watched while it does.
struct ChildWatch {
    int out_fd;         // the file it writes, or -1
    uint32_t cap;       // the most that file may hold (0: no cap)
    bool unprivileged;  // runs as the downloader's user and group, no others
};

// Runs vec[0] with the null-terminated vector `vec` and waits for it, at
// most until the download deadline, and while the watched file stays within
// its cap. Past either, the child is killed; whatever it started, detached
// or not, ends with it (the program is their subreaper). 1 when it exited
// with code 0; 0 otherwise ("exec ... failed" is printed for a non-zero
// exit code; nothing for a signal, a failed fork or a program killed by the
// watch; a signal that the watch did not send is named in a trace datagram).
int ExecvCmd(int count, const char* const* vec, const ChildWatch& watch = {-1, 0, false});

// Seconds a download may take: kDownloadDeadlineSec, or less when the
// environment's RADIODIR_DOWNLOAD_DEADLINE says so (a developer's setting
// for tests of stalled downloads; it can only shorten the deadline).
int download_deadline_sec();

// Milliseconds of the monotonic clock, for deadlines.
long long monotonic_ms();
