// The playlist table and the channel list files written from it.
#pragma once

#include <cstdint>

struct PlaylistEntry {
    char url[100];
    char title[128];
};
static_assert(sizeof(PlaylistEntry) == 228);

inline constexpr int kPlaylistRows = 50;
inline constexpr const char kChannelListFile[] = "/tmp/hdd/root/outfile_2";
inline constexpr const char kFavChannelListFile[] = "/tmp/hdd/root/outfile_3";

// The one playlist table of the process.
extern PlaylistEntry playlist_table[kPlaylistRows];

// Write the count line, then url and title lines of the first `count` rows
// (at most the table's 50). True when the whole file was written (no file
// is left behind otherwise).
bool write_channel_list(const PlaylistEntry* table, unsigned count);
bool write_fav_channel_list(const PlaylistEntry* table, unsigned count);
