// A station's PLS playlist: cached, fetched, and parsed into playlist_table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "records/station_page.h"

inline constexpr int kPlsNameSize = 100;

// Clears the 50 rows of playlist_table; always 1.
int sPlayListInit();

// The playlist cache file of a station: `prefix` (a page station's: its page
// file's name, the page's cache path without ".html"; a favourite's: the
// storage root and "/favorite"), then the station's position and a hash of
// its tuneinpath. False when it does not fit `size` bytes.
bool playlist_cache_name(char* out, size_t size, const char* prefix, const StationEntry* st);

// Why a text is no playlist.
enum class PlsFault : uint8_t { kNone, kNoHeader, kNoCount };

// Parses a whole PLS text (zero byte behind it) into playlist_table, which
// the caller has cleared: the number of rows, and kNone; or kNoHeader
// without "[playlist]" at the start, kNoCount without "numberofentries=".
PlsFault parse_pls_text(const char* text, uint8_t* count);

// Fetches or reuses the station's playlist and parses it. `page_file_name`:
// the page file's name for a station of the page (it must name a file
// directly in the storage root), null for a favourite. A station whose
// tuneinpath does not begin with "/" is refused. 1 with *count set.
int parse_pls(StationEntry station, uint8_t* count, const char* page_file_name);
