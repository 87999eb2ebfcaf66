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
// Runs of the program take turns on the cache: a command takes this lock
// before it touches the storage root (which must exist) and holds it until
// the process ends, so that no run reads a file that another is still
// writing. The lock is the file ".lock" in the storage root, which only the
// program's user can open. A run waits only while another run holds it, at
// most as long as a run can take; then, or on any other failure, 0: the
// command fails, it never goes on unlocked. Once held, the leftovers of a
// run that was killed are cleared (an unfinished download, temporary files).
int take_run_lock();
// The storage root is a directory of its own: a symbolic link there, which
// would send the cache and every download elsewhere, is removed (to be made
// anew as a directory).
void drop_storage_root_link();
// The flash root keeps no cached pages or playlists from one run to the next.
bool storage_is_flash();
