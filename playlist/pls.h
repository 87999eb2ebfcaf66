// A station's PLS playlist: cached, fetched, and parsed into playlist_table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "records/station_page.h"

inline constexpr int kPlsNameSize = 100;

// Clears the 50 rows of playlist_table; always 1.
int sPlayListInit();

// The playlist cache file of a page station (flag 0: beside the page's cache
// file, from station_page.pagefilename) or a favourite (flag 1: in the
// storage root). The name also carries a hash of the station's tuneinpath.
// 1 when it fits the kPlsNameSize-byte buffer.
int playlist_cache_name(char* out, size_t size, const StationEntry* st, uint8_t favourite);

// Parses a whole PLS text (zero byte behind it) into playlist_table, which
// the caller has cleared. 1 with *count set; 0 without "[playlist]" at the
// start (*reason 1) or without "numberofentries=" (*reason 2).
int parse_pls_text(const char* text, uint8_t* count, int* reason);

// Fetches or reuses the station's playlist and parses it. 1 with *count set.
int parse_pls(StationEntry station, uint8_t* count, uint8_t favourite);
