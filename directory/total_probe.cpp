#include "directory/total_probe.h"

#include <cstdio>

#include "directory/service.h"
#include "directory/total_memo.h"
#include "platform/cache.h"
#include "platform/limits.h"
#include "platform/safe_files.h"

namespace {

// What the page count prints on its way through the cache.
constexpr CacheLines kTotalLines = {"\n\nzavadod::total path=%s\nzavadod::total down_file=%s\n", nullptr,
                                    "failed to Exec cmd\nrm %s\n"};

}  // namespace

uint16_t probe_page_total(const char* total_url, const char* total_path) {
    char memo[kMemoPathSize];
    if (!total_memo_path(memo, sizeof memo, total_path)) return 0;
    if (reuse_or_fetch(total_url, total_path, kTotalCap, kTotalLines, memo) == CacheOutcome::kFailed) return 0;

    int32_t stations = 0;
    const bool counted = count_total_stations_memo(total_path, &stations);
    if (!counted) std::printf("Can't open the file:%s\n", total_path);
    if (!counted || stations == 0) {
        // Kept, a file that does not load would fail every later page of
        // this listing; an answer without stations (a fault of the service,
        // or a genre that matches nothing, such as the empty one that shares
        // the listing of all stations) is asked again next time.
        remove_file(total_path);
        remove_file(memo);
        return 0;
    }
    const int32_t pages = stations / kPageSize + (stations % kPageSize != 0 ? 1 : 0);
    return static_cast<uint16_t>(pages < kMaxListingPages ? pages : kMaxListingPages);
}
