// The storage root: the cache directory of this run, chosen once by main
// from the file-system status of the exchange directory, and readied for
// each command that uses the cache.
#pragma once

#include <cstdint>

inline constexpr const char kDiskRoot[] = "/tmp/hdd/root/irf";
inline constexpr const char kFlashRoot[] = "/usr/local/etc/hdd/root/irf";
// The directory whose file-system status decides between them.
inline constexpr const char kExchangeDir[] = "/tmp/hdd/root/";

inline constexpr int kStorageRootSize = 28;  // the flash path and its terminator
static_assert(sizeof kFlashRoot <= kStorageRootSize);

// Set once, before the command word is looked at; read by the commands.
extern char storage_root[kStorageRootSize];

// Sets the root from the status query on the exchange directory.
void choose_storage_root();
// The flash root keeps no cached pages or playlists from one run to the next.
bool storage_is_flash();

// How a command makes a missing storage root: the page request with its
// traces and lines, failing when it cannot; a playlist request quietly.
enum class RootMaking : uint8_t { kAnnounced, kQuiet };

// Readies the storage root for a command that uses the cache: a symbolic
// link there, which would send the cache and every download elsewhere, is
// removed; a missing directory is made; the run lock is taken
// (run_lock.h); on the flash root the cached files whose names end in
// `flash_suffix` go. True when the run holds the cache.
bool enter_storage(RootMaking making, const char* flash_suffix);
