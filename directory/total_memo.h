// The station count of a total file, kept in a small memo file beside it
// ("<total file>.count" in the storage root), so that the runs after the
// first read a few bytes instead of scanning the whole listing.
//
// The memo names the file it was counted from: size, modification time to
// the nanosecond, inode and device. A memo that is missing, damaged (wrong
// length, magic or check value) or describes another file than the one now
// in place is ignored, and the file is counted afresh. On the flash root,
// which keeps no total file once it is counted, the memo stands for the
// listing by itself: its name is the listing's. Memo handling is silent: no
// trace datagram, nothing on standard output, and a memo that cannot be
// written only costs the next run a recount.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/storage_root.h"

// The memo of `total`: its companion (platform/cache.h), which goes with it;
// false when its name does not fit.
bool total_memo_file(RootFile* memo, const RootFile& total);

// True with *count set when the memo of `total` is intact and describes the
// total file as it is now; or, with `standalone`, when the total file is
// gone and the memo is intact (and no older than the build's maximum age).
// Only the memo is read, the total file is only looked at.
bool read_total_memo(const RootFile& total, int32_t* count, bool standalone = false);

// count_total_stations (xml_walk.h) through the memo: the memo's count when
// it holds, else a fresh count, kept in a new memo (written beside it and
// renamed into place) when the file did not change while it was counted.
bool count_total_stations_memo(const RootFile& total, int32_t* count);
