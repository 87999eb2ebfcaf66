// The number of 20-station pages of a listing, from its total file.
#pragma once

#include <cstdint>

#include "platform/storage_root.h"

// Pages of the listing whose whole is fetched from `total_url` into the
// total file `total_name` in `root` (or reused from there), 0 when unknown
// (no file, no download, not loadable) or when the listing is empty. The
// count is kept in a memo beside the total file (total_memo.h), which goes
// whenever the total file goes; on the flash root the total file goes once
// counted, and its memo stands for it. At most kMaxListingPages: the page
// file stores the pages plus one in 16 bits, so a longer listing shows as
// 65535 there.
inline constexpr uint16_t kMaxListingPages = UINT16_MAX - 1;
uint16_t probe_page_total(const StorageDir& root, const char* total_url, const char* total_name);
