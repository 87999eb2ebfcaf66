// GetActiveServers: one page of the directory from a page link.
#pragma once

#include <cstdint>

#include "directory/service.h"
#include "records/station_page.h"

inline constexpr int kLinkCopySize = 64;
inline constexpr int kCachePathSize = 100;  // a page's cache path, its terminator included

// What a page link, search text and key turn into, before anything is fetched.
struct PageQuery {
    QueryMode mode;
    bool has_genre;         // "sgenre=" in the link
    bool has_startat;       // "startat=" in the link
    int16_t offset;         // first station of the page in the listing
    uint16_t pagenum;
    char link[kLinkCopySize];   // the link, cut to 63 bytes
    char genre[104];            // as sent in the query
    char page_base[104];        // the page's cache path without ".html": pagefilename
    char page_name[kCachePathSize];   // its cache file in the storage root
    char total_name[kCachePathSize];  // the listing's total file there
    bool cacheable;             // an offset of whole pages: the page file is kept
    char url[kUrlSize];
    char total_url[kUrlSize];   // the whole listing, for its page count
};

enum PlanResult { kPlanOk = 1, kPlanNoKey = 0, kPlanTooLong = -1 };

// Link grammar, query mode (the search override included), cache names in
// the storage root `root` and URLs. kPlanNoKey: the link has neither
// "startat=" nor "sgenre="; kPlanTooLong: a cache path or a URL would not
// fit its buffer.
PlanResult plan_page_query(PageQuery* q, const char* pageHref, const char* SearchKey, const char* devKey,
                           const char* root);

// Links to the previous and next page (each at most 60 characters).
void page_nav_links(const PageQuery* q, uint16_t pagetotal, char (&prev)[61], char (&next)[61]);

// 1 when the page file was written, 0 on failure; *slot receives the page.
int VxShoutcastGetActiveServers(StationPage** slot, const char* pageHref, const char* SearchKey,
                                const char* devKey);
