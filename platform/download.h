// Fetches run the device's downloader as a child process, watched by the
// program: each download has a deadline and a size cap, and is recorded in
// the storage root while it runs, so that a run killed meanwhile leaves no
// partial file that a later run would take for a cached answer.
#pragma once

#include <cstdint>

inline constexpr int kWgetSlots = 10;
inline constexpr int kWgetUrlSlot = 6;
inline constexpr int kWgetOutSlot = 8;

// "/sbin/wget -t 1 -T 30 -nd URL -O FILE": one try, 30 s network time-out.
extern const char* const wget_args[kWgetSlots];

// Runs vec[0] with the null-terminated vector `vec` and waits for it, at most
// until the download deadline. 1 when it exited with code 0; 0 otherwise
// ("exec ... failed" is printed for a non-zero exit code; nothing for a
// signal, a failed fork or a program killed at the deadline).
int ExecvCmd(int count, const char* const* vec);

// ExecvCmd that also watches the file open on `out_fd` (-1: none): the
// program and every process it started are killed when the file grows past
// `cap` bytes (0: no cap) or the deadline passes.
int ExecvCmdLimited(int count, const char* const* vec, int out_fd, uint32_t cap);

// Fetches `url` into `out_path`, a file directly in the storage root, with
// the downloader: whatever stands at that name is removed first (the
// download fails when it cannot be), the file is created new, and it may
// not grow past `cap` bytes. 1 on success; on failure nothing is left at
// `out_path`. The download is recorded beside the file until it has ended
// (is_download_mark).
int download_to(const char* url, const char* out_path, uint32_t cap);

// Seconds a download may take: kDownloadDeadlineSec, or less when the
// environment's RADIODIR_DOWNLOAD_DEADLINE says so (a developer's setting
// for tests of stalled downloads; it can only shorten the deadline).
int download_deadline_sec();

// Milliseconds of the monotonic clock, for deadlines.
long long monotonic_ms();

// The longest path of a downloaded file, its terminator included.
inline constexpr int kDownloadPathSize = 288;

// Is `name` (in the storage root) the record of a download in flight?
bool is_download_mark(const char* name);
// Removes the record `mark` in `dir` and the file of the download it names,
// which a killed run left unfinished. Called with the run lock held.
void clear_interrupted_download(const char* dir, const char* mark);
