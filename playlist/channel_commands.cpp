#include "playlist/channel_commands.h"

#include "diag/debug_log.h"
#include "playlist/pls.h"

int VxGetStationChannelList(PlaylistEntry** table, int* count, uint16_t index) {
    udp_log("VxGetStationChannelList", 1003, kSrcLogic, "%s", "");
    uint8_t rows = 0;
    StationPage* page = &station_page;
    if (!read_page_file(page)) return 0;
    if (index == 0 || index > page->stationtotal || index > kPageStations) return 0;
    if (parse_pls(page->stations[index - 1], &rows, page->pagefilename) != 1) return 0;
    if (table != nullptr) *table = playlist_table;
    if (count != nullptr) *count = rows;
    return write_channel_list(playlist_table, rows) ? 1 : 0;
}

int VxGetFavStationChannelList(PlaylistEntry** table, int* second, StationEntry station) {
    (void)second;
    udp_log("VxGetFavStationChannelList", 1038, kSrcLogic, "%s", "");
    uint8_t rows = 0;
    if (parse_pls(station, &rows, nullptr) != 1) return 0;
    if (table != nullptr) *table = playlist_table;
    return write_fav_channel_list(playlist_table, rows) ? 1 : 0;
}
