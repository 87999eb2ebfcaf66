// Fills the station rows and genre lists of station_page from a cached page.
#pragma once

// Sets genreprefix and the two lists of 19 genres; returns 19.
int fill_genre_lists();
// 1 when the XML page was loaded and walked, 0 when it could not be loaded
// (stationtotal then stays 0). The caller clears station_page first.
int parse_homepage(const char* path, const char* devKey);
