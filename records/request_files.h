// Inputs that the player's interface writes before starting a command.
#pragma once

#include "records/station_page.h"

inline constexpr const char kPageLinkFile[] = "/tmp/hdd/root/infile_1";
inline constexpr const char kFavStationFile[] = "/tmp/hdd/root/infile_3";
inline constexpr int kPageLinkSize = 256;

// Fills `link` (kPageLinkSize bytes, cleared by the caller) with the page link
// of infile_1, every line feed dropped; a longer file is cut to what the
// buffer holds. True when the file was read, false without a buffer or file.
bool read_page_href(char* link);
// Fills `st` (cleared by the caller) from infile_3. True when the file opened.
bool read_fav_station(StationEntry* st);
