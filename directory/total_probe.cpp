#include "directory/total_probe.h"

#include <cstdio>
#include <cstring>

#include "directory/service.h"
#include "directory/total_memo.h"
#include "platform/download.h"
#include "platform/files.h"
#include "platform/limits.h"
#include "platform/text.h"

namespace {

constexpr int kTotalPathSize = 256;

}  // namespace

int total_url_of(char* out, size_t size, const char* page_url) {
    const int fits = VxStrCopyZ(out, page_url, size);
    if (char* limit = std::strstr(out, "&limit=")) *limit = '\0';
    return fits;
}

int total_path_of(char* out, size_t size, const char* page_base) {
    if (!VxStrCopyZ(out, page_base, size)) return 0;
    // Cut after the last "Page": the one before the page number, so that a
    // genre whose name holds "Page" keeps its own total file.
    char* last = nullptr;
    for (char* p = std::strstr(out, "Page"); p != nullptr; p = std::strstr(p + 1, "Page")) last = p;
    if (last != nullptr) last[4] = '\0';
    return VxStrAppendZ(out, "Total.xml", size);
}

int16_t probe_page_total(const char* page_url, const char* page_base) {
    char url[kUrlSize];
    char path[kTotalPathSize];
    total_url_of(url, sizeof url, page_url);
    if (!total_path_of(path, sizeof path, page_base)) return 0;
    std::printf("\n\nzavadod::total path=%s\n", url);
    std::printf("zavadod::total down_file=%s\n", path);

    if (cached_file_usable(path, kTotalCap)) {
        std::printf("%s is exist\n", path);
    } else {
        // Whatever count was kept described a file that is gone.
        remove_total_memo(path);
        if (download_to(url, path, kTotalCap) != 1) {
            std::printf("failed to Exec cmd\n");
            remove_file(path);
            remove_total_memo(path);
            std::printf("rm %s\n", path);
            return 0;
        }
    }

    int32_t stations = 0;
    if (!count_total_stations_memo(path, &stations)) {
        std::printf("Can't open the file:%s\n", path);
        // Kept, it would fail every later page of this listing.
        remove_file(path);
        remove_total_memo(path);
        return 0;
    }
    if (stations == 0) {
        // An answer without stations (a fault of the service, or a genre
        // that matches nothing, such as the empty one that shares the
        // listing of all stations) is asked again next time.
        remove_file(path);
        remove_total_memo(path);
        return 0;
    }
    return static_cast<int16_t>(stations / kPageSize + (stations % kPageSize != 0 ? 1 : 0));
}
