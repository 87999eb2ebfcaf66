// The storage root: the cache directory of this run, chosen once by main.
#pragma once

inline constexpr const char kDiskRoot[] = "/tmp/hdd/root/irf";
inline constexpr const char kFlashRoot[] = "/usr/local/etc/hdd/root/irf";
// The directory whose file-system status decides between them.
inline constexpr const char kExchangeDir[] = "/tmp/hdd/root/";

inline constexpr int kStorageRootSize = 28;  // the flash path and its terminator
static_assert(sizeof kFlashRoot <= kStorageRootSize);

extern char storage_root[kStorageRootSize];

// Sets the root from the status query on the exchange directory.
void choose_storage_root();
// Runs of the program take turns: the first caller holds an exclusive lock
// on the storage root's parent directory until the process ends, so that no
// run reads a cached file that another run is still downloading. A lock that
// cannot be had within about a minute is given up and the run goes on.
void take_run_lock();
// The flash root keeps no cached pages or playlists from one run to the next.
bool storage_is_flash();
