// Inputs that the player's interface writes before starting a command.
#pragma once

#include "records/station_page.h"

inline constexpr const char kPageLinkFile[] = "/tmp/hdd/root/infile_1";
inline constexpr const char kFavStationFile[] = "/tmp/hdd/root/infile_3";
inline constexpr int kPageLinkSize = 256;

// Fills `link` (kPageLinkSize bytes, cleared by the caller) with the page link
// of infile_1, every line feed dropped; a longer file is cut to what the
// buffer holds. 1 when the file was read, 0 without a buffer or file.
int read_page_href(char* link);
// Fills `st` (cleared by the caller) from infile_3. 1 when the file opened.
int read_fav_station(StationEntry* st);
