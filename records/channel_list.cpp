#include "records/channel_list.h"

#include <cstdio>

#include "platform/atomic_file.h"

PlaylistEntry playlist_table[kPlaylistRows];

namespace {

bool write_list(const char* path, const PlaylistEntry* table, unsigned count) {
    if (count > kPlaylistRows) count = kPlaylistRows;
    AtomicFile out;
    if (!atomic_open(&out, path)) return false;
    std::fprintf(out.file, "%d\n", static_cast<int>(count));
    for (unsigned i = 0; i < count; ++i) std::fprintf(out.file, "%.*s\n%.*s\n", static_cast<int>(sizeof table[i].url), table[i].url,
                     static_cast<int>(sizeof table[i].title), table[i].title);
    return atomic_commit(&out);
}

}  // namespace

bool write_channel_list(const PlaylistEntry* rows, unsigned n) { return write_list(kChannelListFile, rows, n); }

bool write_fav_channel_list(const PlaylistEntry* rows, unsigned n) { return write_list(kFavChannelListFile, rows, n); }
