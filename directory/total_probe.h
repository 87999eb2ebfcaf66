// The number of 20-station pages of a listing, from its total file.
#pragma once

#include <cstddef>
#include <cstdint>

// Page URL cut before its first "&limit=".
int total_url_of(char* out, size_t size, const char* page_url);
// Page base cut after its last "Page", then "Total.xml".
int total_path_of(char* out, size_t size, const char* page_base);

// Pages of the listing, 0 when unknown (no file, no download, not loadable)
// or when the listing is empty. The count is kept in a memo beside the total
// file (total_memo.h); the memo goes whenever the total file goes.
int16_t probe_page_total(const char* page_url, const char* page_base);
