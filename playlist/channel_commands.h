// GetStationChannelList and GetFavStationChannelList.
#pragma once

#include <cstdint>

#include "records/channel_list.h"
#include "records/station_page.h"

// Station `index` (1-based) of the page file: its streams into outfile_2.
// 1 on success; 0 when the page file, the index, the playlist or the output
// file fails.
int VxGetStationChannelList(PlaylistEntry** table, int* count, uint16_t index);
// The favourite station's streams into outfile_3. `second` is not touched.
int VxGetFavStationChannelList(PlaylistEntry** table, int* second, StationEntry station);
