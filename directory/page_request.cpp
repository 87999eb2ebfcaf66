#include "directory/page_request.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "diag/debug_log.h"
#include "directory/page_parser.h"
#include "directory/total_probe.h"
#include "platform/cache.h"
#include "platform/limits.h"
#include "platform/safe_files.h"
#include "platform/storage_root.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace {

constexpr char kStartAt[] = "startat=";
constexpr char kSGenre[] = "sgenre=";

bool is_search(const char* pageHref, const char* SearchKey) {
    if (SearchKey == nullptr || SearchKey[0] == '\0' || std::strcmp(SearchKey, "0") == 0) return false;
    const char* at = nullptr;
    return pageHref == nullptr || VxStrFind(pageHref, "&s=", &at) < 0;
}

// Appends `text` to the path with every "/" made "_", so that no genre or
// search text leaves the storage root.
bool append_name_part(char* path, size_t size, const char* text) {
    size_t n = std::strlen(path);
    for (; *text != '\0'; ++text) {
        if (n + 1 >= size) return false;
        path[n++] = *text == '/' ? '_' : *text;
    }
    path[n] = '\0';
    return true;
}

// What a page request prints on its way through the cache.
constexpr CacheLines kPageLines = {nullptr, "\n\nzavadod::station path=%s\nzavadod::station down_file=%s\n",
                                   "failed to Exec cmd\nrm %s\n"};

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

    // The listing's own part of every cache name: genre, search.
    char prefix[sizeof q->page_base] = "";
    bool fits = true;
    if (q->has_genre) {
        copy_text(q->genre, sgenre + sizeof kSGenre - 1, sizeof q->genre);
        const char* end = nullptr;
        if (VxStrFind(q->genre, "&startat=", &end) >= 0) q->genre[end - q->genre] = '\0';
        fits &= append_name_part(prefix, sizeof prefix, q->genre);
        q->mode = kModeGenre;
        q->pagenum = 1;
    }
    const bool search = is_search(pageHref, SearchKey);
    if (search) {
        // A search has its own cache identity: the same link with another
        // search text is another query.
        char tag[32];
        format_text(tag, sizeof tag, "Search_%08x", fnv1a32(SearchKey, std::strlen(SearchKey)));
        fits &= append_text(prefix, tag, sizeof prefix);
        q->mode = kModeSearch;
    }
    if (q->has_startat) {
        VxParseInt16(startat + sizeof kStartAt - 1, &q->offset);
        q->pagenum = static_cast<uint16_t>(q->offset / kPageSize + 1);
    }
    q->cacheable = q->offset % kPageSize == 0;
    char cache_path[kCachePathSize];
    fits &= format_text(q->page_name, sizeof q->page_name, "%sPage%d.html", prefix, static_cast<int>(q->pagenum));
    fits &= format_text(cache_path, sizeof cache_path, "%s/%s", root, q->page_name);
    fits &= format_text(q->page_base, sizeof q->page_base, "%s/%sPage%d", root, prefix, static_cast<int>(q->pagenum));
    fits &= format_text(q->total_name, sizeof q->total_name, "%sPageTotal.xml", prefix);
    fits &= build_listing_url(q->total_url, sizeof q->total_url, q->mode, devKey, q->genre, SearchKey);
    fits &= format_text(q->url, sizeof q->url, "%s&limit=%d,%d", q->total_url, static_cast<int>(q->offset), kPageSize);
    return fits ? kPlanOk : kPlanTooLong;
}

void page_nav_links(const PageQuery* q, uint16_t pagetotal, char (&prev)[61], char (&next)[61]) {
    char composed[kLinkCopySize + 16];
    if (!q->has_startat) {
        format_text(composed, sizeof composed, "%s&startat=0", q->link);
        utf8_copy_field(prev, composed, sizeof prev);
        format_text(composed, sizeof composed, "%s&startat=20", q->link);
        utf8_copy_field(next, composed, sizeof next);
        return;
    }
    // The link up to and including "startat=", then the new offset.
    const char* at = nullptr;
    VxStrFind(q->link, kStartAt, &at);
    const int keep = static_cast<int>(at - q->link) + static_cast<int>(sizeof kStartAt - 1);
    const int offset = q->offset;
    const int prev_offset = offset - kPageSize < 0 ? 0 : offset - kPageSize;
    const int next_offset = offset + kPageSize < (static_cast<int>(pagetotal) - 1) * kPageSize ? offset + kPageSize : offset;
    format_text(composed, sizeof composed, "%.*s%d", keep, q->link, prev_offset);
    utf8_copy_field(prev, composed, sizeof prev);
    format_text(composed, sizeof composed, "%.*s%d", keep, q->link, next_offset);
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

    StorageDir root;
    if (!enter_storage(RootMaking::kAnnounced, ".html", &root)) return 0;

    StationPage* page = &station_page;
    std::memset(page, 0, sizeof *page);

    PageQuery q;
    const PlanResult plan = plan_page_query(&q, pageHref, SearchKey, devKey, root.path);
    std::printf("href='%s'\n", q.link);
    if (plan != kPlanOk) return 0;
    page->pagenum = q.pagenum;
    // A page that does not start at a whole page has no cache file: it is
    // fetched into a temporary file, which goes after the run.
    RootFile file;
    char temp[kRootPathSize];
    const int fd = q.cacheable ? -1 : create_temp(root.fd, temp, sizeof temp, q.page_name);
    if (fd >= 0) close(fd);
    if (!root_file(&file, root, q.cacheable ? q.page_name : temp) || (!q.cacheable && fd < 0)) return 0;
    if (reuse_or_fetch(file, q.url, kPageCap, kPageLines) == CacheOutcome::kFailed) return 0;

    copy_text(page->pagefilename, q.page_base, sizeof page->pagefilename);
    page->pagetotal = static_cast<uint16_t>(probe_page_total(root, q.total_url, q.total_name) + 1);

    parse_homepage(page, file, devKey);
    if (slot != nullptr) *slot = page;
    std::printf("\n\nstationtotal =%d\n", page->stationtotal);
    if (page->stationtotal == 0) std::printf("ERROR:The Sation Total is 0, delete file:%s\n", file.path);
    if (page->stationtotal == 0 || !q.cacheable) remove_file(root.fd, file.name);
    std::printf("pagetotal=%d, pagenum=%d\n", page->pagetotal, page->pagenum);

    page_nav_links(&q, page->pagetotal, page->prevpagehref, page->nextpagehref);
    std::printf("prevpagehref =%s\n", page->prevpagehref);
    std::printf("nextpagehref =%s\n", page->nextpagehref);
    return write_page_file(page) ? 1 : 0;
}
