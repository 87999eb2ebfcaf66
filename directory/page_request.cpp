#include "directory/page_request.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diag/debug_log.h"
#include "directory/page_parser.h"
#include "directory/total_probe.h"
#include "platform/download.h"
#include "platform/files.h"
#include "platform/limits.h"
#include "platform/storage.h"
#include "platform/text.h"

namespace {

constexpr char kStartAt[] = "startat=";
constexpr char kSGenre[] = "sgenre=";

bool is_search(const char* pageHref, const char* SearchKey) {
    if (SearchKey == nullptr || SearchKey[0] == '\0' || std::strcmp(SearchKey, "0") == 0) return false;
    return pageHref == nullptr || std::strstr(pageHref, "&s=") == nullptr;
}

// Appends `text` to the path with every "/" made "_", so that no genre or
// search text leaves the storage root.
int append_name_part(char* path, size_t size, const char* text) {
    size_t n = std::strlen(path);
    for (; *text != '\0'; ++text) {
        if (n + 1 >= size) return 0;
        path[n++] = *text == '/' ? '_' : *text;
    }
    path[n] = '\0';
    return 1;
}

// After a failed mkdir: true when the directory is there all the same,
// created by another run between our look and our mkdir. errno is kept for
// the caller's "%m".
bool made_meanwhile(const char* path) {
    const int err = errno;
    struct stat st;
    const bool dir = err == EEXIST && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
    errno = err;
    return dir;
}

}  // namespace

PlanResult plan_page_query(PageQuery* q, const char* pageHref, const char* SearchKey, const char* devKey,
                           const char* root) {
    std::memset(q, 0, sizeof *q);
    utf8_copy_field(q->link, pageHref != nullptr ? pageHref : "", sizeof q->link);

    const char* startat = nullptr;
    const char* sgenre = nullptr;
    q->has_startat = VxStrFind(q->link, kStartAt, &startat) >= 0;
    q->has_genre = VxStrFind(q->link, kSGenre, &sgenre) >= 0;
    if (!q->has_startat && !q->has_genre) return kPlanNoKey;

    char path[sizeof q->page_base];
    VxStrCopyZ(path, root, kCachePathSize);
    VxStrAppendZ(path, "/", sizeof path);
    bool fits = true;

    if (q->has_genre) {
        VxStrCopyZ(q->genre, sgenre + sizeof kSGenre - 1, sizeof q->genre);
        if (char* end = std::strstr(q->genre, "&startat=")) *end = '\0';
        fits &= append_name_part(path, sizeof path, q->genre) != 0;
        q->mode = kModeGenre;
        q->pagenum = 1;
    }
    const bool search = is_search(pageHref, SearchKey);
    if (search) {
        // A search has its own cache identity: the same link with another
        // search text is another query.
        char tag[32];
        VxFormat(tag, sizeof tag, "Search_%08x", fnv1a32(SearchKey, std::strlen(SearchKey)));
        fits &= VxStrAppendZ(path, tag, sizeof path) != 0;
    }
    if (q->has_startat) {
        VxParseInt16(startat + sizeof kStartAt - 1, &q->offset);
        q->pagenum = static_cast<uint16_t>(q->offset / kPageSize + 1);
    }
    char page[20];
    VxFormat(page, sizeof page, "Page%d", static_cast<int>(q->pagenum));
    fits &= VxStrAppendZ(path, page, sizeof path) != 0;

    VxStrCopyZ(q->page_base, path, sizeof q->page_base);
    fits &= VxFormat(q->cache_path, sizeof q->cache_path, "%s.html", path) != 0;
    if (search) q->mode = kModeSearch;
    if (!fits) return kPlanTooLong;
    if (!build_page_url(q->url, sizeof q->url, q->mode, devKey, q->genre, SearchKey, q->offset))
        return kPlanTooLong;
    return kPlanOk;
}

void page_nav_links(const PageQuery* q, uint16_t pagetotal, char (&prev)[61], char (&next)[61]) {
    char composed[kLinkCopySize + 16];
    if (!q->has_startat) {
        VxFormat(composed, sizeof composed, "%s&startat=0", q->link);
        utf8_copy_field(prev, composed, sizeof prev);
        VxFormat(composed, sizeof composed, "%s&startat=20", q->link);
        utf8_copy_field(next, composed, sizeof next);
        return;
    }
    // The link up to and including "startat=", then the new offset.
    const char* at = std::strstr(q->link, kStartAt);
    const int keep = static_cast<int>(at - q->link) + static_cast<int>(sizeof kStartAt - 1);
    const int offset = q->offset;
    const int prev_offset = offset - kPageSize < 0 ? 0 : offset - kPageSize;
    const int next_offset = offset + kPageSize < (static_cast<int>(pagetotal) - 1) * kPageSize ? offset + kPageSize : offset;
    VxFormat(composed, sizeof composed, "%.*s%d", keep, q->link, prev_offset);
    utf8_copy_field(prev, composed, sizeof prev);
    VxFormat(composed, sizeof composed, "%.*s%d", keep, q->link, next_offset);
    utf8_copy_field(next, composed, sizeof next);
}

int VxShoutcastGetActiveServers(StationPage** slot, const char* pageHref, const char* SearchKey,
                                const char* devKey) {
    udp_log("VxShoutcastGetActiveServers", 793, kSrcLogic, "pageHref: %s, SearchKey:\"%s\"",
            pageHref != nullptr ? pageHref : "(null)", SearchKey != nullptr ? SearchKey : "(null)");
    std::printf("\n %d, %s, %s \n", 794, "VxShoutcastGetActiveServers", kSrcLogic);

    std::printf("ZORV_IRADIO_FILE_DIR:'%s', ZORV_IRADIO_FILE_DIR2:'%s'\n", storage_root, kFlashRoot);
    // Flash keeps no pages from one run to the next; they go once this run
    // holds the cache (below).
    if (storage_is_flash()) std::printf("rm %s/*.html", kFlashRoot);

    drop_storage_root_link();
    VxDirectory* dir = nullptr;
    if (VxOpenDirectory(storage_root, &dir) == 1) {
        VxCloseDirectory(dir);
    } else {
        std::printf("ZORV_IRADIO_FILE_DIR:%s\n", storage_root);
        if (VxFileMkdir(storage_root) != 1 && !made_meanwhile(storage_root)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"  // "%m" is the C library's, not ISO C++'s
            std::printf("%m, mkdir error: '%s'", storage_root);
#pragma GCC diagnostic pop
            return 0;
        }
    }
    if (take_run_lock() != 1) return 0;
    if (storage_is_flash()) remove_files_with_suffix(kFlashRoot, ".html");

    StationPage* page = &station_page;
    VxMemset(page, 0, sizeof *page);

    static PageQuery q;  // one request per process
    const PlanResult plan = plan_page_query(&q, pageHref, SearchKey, devKey, storage_root);
    std::printf("href='%s'\n", q.link);
    if (plan != kPlanOk) return 0;
    page->pagenum = q.pagenum;

    if (cached_file_usable(q.cache_path, kPageCap)) {
        std::printf("%s is exist\n", q.cache_path);
    } else {
        std::printf("\n\nzavadod::station path=%s\n", q.url);
        std::printf("zavadod::station down_file=%s\n", q.cache_path);
        if (download_to(q.url, q.cache_path, kPageCap) != 1) {
            std::printf("failed to Exec cmd\n");
            remove_file(q.cache_path);
            std::printf("rm %s\n", q.cache_path);
            return 0;
        }
    }

    VxStrCopyZ(page->pagefilename, q.page_base, sizeof page->pagefilename);
    page->pagetotal = static_cast<uint16_t>(probe_page_total(q.url, q.page_base) + 1);

    parse_homepage(q.cache_path, devKey);
    if (slot != nullptr) *slot = page;
    std::printf("\n\nstationtotal =%d\n", page->stationtotal);
    if (page->stationtotal == 0) {
        std::printf("ERROR:The Sation Total is 0, delete file:%s\n", q.cache_path);
        remove_file(q.cache_path);
    }
    std::printf("pagetotal=%d, pagenum=%d\n", page->pagetotal, page->pagenum);

    page_nav_links(&q, page->pagetotal, page->prevpagehref, page->nextpagehref);
    std::printf("prevpagehref =%s\n", page->prevpagehref);
    std::printf("nextpagehref =%s\n", page->nextpagehref);
    return write_page_file(page);
}
