// A station's PLS playlist: cached, fetched, and parsed into playlist_table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "records/station_page.h"

inline constexpr int kPlsNameSize = 100;

// Clears the 50 rows of playlist_table; always 1.
int sPlayListInit();

// The name of a station's playlist cache file in the storage root: `prefix`
// (a page station's: the name of its page's cache file without ".html"; a
// favourite's: "favorite"), then the station's position and a hash of its
// tuneinpath. False when it does not fit `size` bytes.
bool playlist_cache_name(char* out, size_t size, const char* prefix, const StationEntry* st);

// Why a text is no playlist.
enum class PlsFault : uint8_t { kNone, kNoHeader, kNoCount };

// Parses a whole PLS text (zero byte behind it) into playlist_table, which
// the caller has cleared: the number of rows, and kNone; or kNoHeader
// without "[playlist]" at the start, kNoCount without "numberofentries=".
PlsFault parse_pls_text(const char* text, uint8_t* count);

// Fetches or reuses the station's playlist and parses it. `page_file_name`:
// the page file's pagefilename for a station of the page (it must name a
// file directly in the storage root), null for a favourite. 1 with *count
// set; 0, without a download, when the playlist's cache path would not fit
// kPlsNameSize bytes or the station's tuneinpath does not begin with "/".
int parse_pls(StationEntry station, uint8_t* count, const char* page_file_name);
