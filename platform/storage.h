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
// The flash root keeps no cached pages or playlists from one run to the next.
bool storage_is_flash();
