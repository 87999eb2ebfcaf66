// Fetches run the device's downloader as a child process.
#pragma once

inline constexpr int kWgetSlots = 10;
inline constexpr int kWgetUrlSlot = 6;
inline constexpr int kWgetOutSlot = 8;

// "/sbin/wget -t 1 -T 30 -nd URL -O FILE": one try, 30 s network time-out.
extern const char* const wget_args[kWgetSlots];

// Runs vec[0] with the null-terminated vector `vec` and waits for it.
// 1 when it exited with code 0; 0 otherwise ("exec ... failed" is printed for
// a non-zero exit code; nothing for a signal or a failed fork).
int ExecvCmd(int count, const char* const* vec);

// Fetches `url` into `out_path` with the downloader. 1 on success.
int download_to(const char* url, const char* out_path);
