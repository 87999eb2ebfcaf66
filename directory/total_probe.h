// The number of 20-station pages of a listing, from its total file.
#pragma once

#include <cstddef>
#include <cstdint>

// Page URL cut before its first "&limit=".
int total_url_of(char* out, size_t size, const char* page_url);
// Page base cut after its last "Page", then "Total.xml".
int total_path_of(char* out, size_t size, const char* page_base);

// Counts the "station" elements that are children of a top-level node.
// 1 with *count set when the file loads as XML (as TinyXML loads it); 0 when
// it is missing, empty or not loadable. A listing is scanned in fixed-size
// chunks without building its document; only one the scanner cannot follow
// exactly is loaded whole by TinyXML (total_count.cpp).
int count_total_stations(const char* path, int32_t* count);
// The scanner alone: 1 with *count set when it followed the whole file (its
// count is then TinyXML's); 0 when the file is left to TinyXML.
int scan_total_stations(const char* path, int32_t* count);
// The same count from TinyXML's document of the file, loaded and walked:
// the answer the scan must match, and its fallback.
int walk_total_stations(const char* path, int32_t* count);

// Pages of the listing, 0 when unknown (no file, no download, not loadable)
// or when the listing is empty. The count is kept in a memo beside the total
// file (total_memo.h); the memo goes whenever the total file goes.
int16_t probe_page_total(const char* page_url, const char* page_base);
