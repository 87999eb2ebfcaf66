#include "app/dispatch.h"

#include <strings.h>

#include <cstdio>

#include "diag/debug_log.h"
#include "directory/page_request.h"
#include "platform/safe_files.h"
#include "platform/storage_root.h"
#include "platform/text.h"
#include "playlist/channel_commands.h"
#include "records/request_files.h"

char builtin_dev_key[sizeof RADIODIR_DEV_KEY] = RADIODIR_DEV_KEY;

namespace {

int get_active_servers(int argc, char** argv) {
    char link[kPageLinkSize] = {};
    if (!read_page_href(link)) return 0;  // the old answer stays
    remove_file(AT_FDCWD, kPageFile);
    int status = 0;
    if (argc < 5) {
        const char* search = argc >= 3 ? argv[2] : "0";
        const char* key = argc >= 4 ? argv[3] : builtin_dev_key;
        status = VxShoutcastGetActiveServers(nullptr, link, search, key);
    }
    udp_log("main", 78, kSrcMain, "VxShoutcastGetActiveServers returned with status=%d", status);
    return status;
}

int get_station_channel_list(int argc, char** argv) {
    remove_file(AT_FDCWD, kChannelListFile);
    if (argc < 3) {
        std::printf("parameter error, must >= 3!\n");
        return 0;
    }
    const int status = VxGetStationChannelList(nullptr, nullptr, atoi_u16(argv[2]));
    udp_log("main", 93, kSrcMain, "VxGetStationChannelList returned with status=%d", status);
    return status;
}

int get_fav_station_channel_list() {
    StationEntry station = {};
    remove_file(AT_FDCWD, kFavChannelListFile);
    if (!read_fav_station(&station)) return 0;
    const int status = VxGetFavStationChannelList(nullptr, nullptr, station);
    udp_log("main", 107, kSrcMain, "VxGetFavStationChannelList returned with status=%d", status);
    return status;
}

}  // namespace

int radiodir_main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("parameter error, must >= 2!\n");
        return 0;
    }
    for (int i = 0; i < argc; ++i) std::printf("argv[%d]=%s\n", i, argv[i]);
    choose_storage_root();

    const char* word = argv[1];
    if (strcasecmp(word, "GetActiveServers") == 0) return get_active_servers(argc, argv);
    if (strcasecmp(word, "GetStationChannelList") == 0) return get_station_channel_list(argc, argv);
    if (strcasecmp(word, "GetFavStationChannelList") == 0) return get_fav_station_channel_list();
    std::printf("not implement the request:%s\n", word);
    return 0;
}
