// The road of every cached download (a directory page, a listing's total
// file, a station's playlist): the copy in the storage root is reused when
// it is fit for use, else fetched anew. What each command prints on the way
// is its own, given as printf formats.
#pragma once

#include <cstdint>

#include "build_settings.h"
#include "platform/storage_root.h"

// The longest a cached copy is used, in seconds (0: no limit).
inline constexpr uint32_t kCacheMaxAge = RADIODIR_CACHE_MAX_AGE;

// A command's lines on the road. Each format takes the URL and the cache
// path, in that order (a format may name them "%2$s" and "%1$s"); null
// prints nothing.
struct CacheLines {
    const char* looking;   // before the cache is looked at
    const char* fetching;  // before a download
    const char* failed;    // after a failed download (the path alone)
};

// A cached copy may have a companion beside it, a small file that describes
// it (a total file's count memo), named after it with this suffix. It goes
// whenever its copy is fetched anew, fails to download or is evicted.
inline constexpr char kCompanionSuffix[] = ".count";

enum class CacheOutcome : uint8_t { kReused, kFetched, kFailed };

// Is `file` a copy to reuse: a regular file reached without a symbolic
// link, with a first byte to read, no more than `cap` bytes (the download
// cap of its kind: a longer file never came from a download) and modified
// no more than `max_age` seconds ago (0: any age)?
bool cached_copy_usable(const RootFile& file, uint32_t cap, uint32_t max_age = kCacheMaxAge);
// Was a file modified at `mtime` modified no more than `max_age` seconds ago
// (0: any age)?
bool young_enough(time_t mtime, uint32_t max_age);

// Reuses the copy at `file` ("<path> is exist" printed) or downloads `url`
// into it (download.h; whatever stood there goes first, and its companion
// with it, whether the download succeeds or not). A copy reused or
// fetched counts as used now; after a download on the disk, the cache's
// least recently used files go while it holds more than its budget, never
// one this run has used.
CacheOutcome reuse_or_fetch(const RootFile& file, const char* url, uint32_t cap, const CacheLines& lines);
