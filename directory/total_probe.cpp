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

uint16_t probe_page_total(const StorageDir& root, const char* total_url, const char* total_name) {
    RootFile total;
    RootFile memo;
    if (!root_file(&total, root, total_name) || !total_memo_file(&memo, total)) return 0;
    int32_t stations = 0;
    bool counted = false;
    if (root.flash && read_total_memo(total, &stations, true)) {
        std::printf(kTotalLines.looking, total_url, total.path);
        std::printf("%s is exist\n", memo.path);
        counted = true;
    } else {
        if (reuse_or_fetch(total, total_url, kTotalCap, kTotalLines) == CacheOutcome::kFailed) return 0;
        counted = count_total_stations_memo(total, &stations);
        if (!counted) std::printf("Can't open the file:%s\n", total.path);
        // The flash keeps the count, not the listing.
        if (counted && stations != 0 && root.flash) remove_file(root.fd, total.name);
    }
    if (!counted || stations == 0) {
        // Kept, a file that does not load would fail every later page of
        // this listing; an answer without stations (a fault of the service,
        // or a genre that matches nothing, such as the empty one that shares
        // the listing of all stations) is asked again next time.
        remove_file(root.fd, total.name);
        remove_file(root.fd, memo.name);
        return 0;
    }
    const int32_t pages = stations / kPageSize + (stations % kPageSize != 0 ? 1 : 0);
    return static_cast<uint16_t>(pages < kMaxListingPages ? pages : kMaxListingPages);
}
