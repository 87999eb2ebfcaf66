// The storage root: the cache directory of this run, chosen once by main
// from the file-system status of the exchange directory, and entered by each
// command that uses the cache: opened once, without following a link, so
// that every operation on the cache goes through that one directory.
#pragma once

#include <time.h>

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

// The storage root as a command entered it. A link swapped in for it later
// leads nowhere: every cache operation goes through `fd`.
struct StorageDir {
    int fd;
    const char* path;  // what is printed, and handed to the downloader
    bool flash;        // keeps no pages or playlists, and counts no totals twice
    time_t entered;    // cache files used since then are this run's
};

// How a command makes a missing storage root: the page request with its
// traces and lines, failing when it cannot; a playlist request quietly.
enum class RootMaking : uint8_t { kAnnounced, kQuiet };

// Readies the storage root for a command that uses the cache: a symbolic
// link at its path is removed; a missing directory is made; the directory
// is opened (no link followed) and made searchable, so that an unprivileged
// downloader reaches its files; the run lock is taken (run_lock.h); on the
// flash root the cached files whose names end in `flash_suffix` go. True,
// with *dir set, when the run holds the cache.
bool enter_storage(RootMaking making, const char* flash_suffix, StorageDir* dir);

// A file directly in the storage root: reached through the root's
// descriptor by its name; its path is what is printed and what the
// downloader is handed.
inline constexpr int kRootPathSize = 128;
struct RootFile {
    const StorageDir* root;
    char name[kRootPathSize];
    char path[kRootPathSize];
};
// Names `name` in `root`; false when the name holds a "/" or the path would
// not fit.
bool root_file(RootFile* f, const StorageDir& root, const char* name);
// The name within `path` when it names a file directly in the storage root
// `root` ("<root>/<name>", no other "/"); null otherwise.
const char* name_in_root(const char* path, const char* root);
