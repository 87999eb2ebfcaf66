// Fills the station rows and genre lists of a page record from a cached page.
#pragma once

#include "records/station_page.h"

// Sets genreprefix and the two lists of 19 genres; returns 19.
int fill_genre_lists(StationPage* page);
// True when the XML page was loaded and walked, false when it could not be
// loaded (stationtotal then stays 0). The caller clears the page first.
bool parse_homepage(StationPage* page, const char* path, const char* devKey);
