#include "directory/total_memo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "directory/xml_walk.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

constexpr int kMemoPathSize = 288;  // a total path (at most 255) and ".count"

// The memo's bytes, little-endian whatever the machine:
//   0  "RDCOUNT" and the format version 1 (8 bytes)
//   8  size of the total file (8)     16 mtime seconds (8)
//  24  mtime nanoseconds (4)          28 station count (4)
//  32  inode (8)                      40 device (8)
//  48  FNV-1a of bytes 0-47 (4)
constexpr char kMagic[8] = {'R', 'D', 'C', 'O', 'U', 'N', 'T', 1};
constexpr size_t kMemoSize = 52;

struct Identity {
    uint64_t size;
    int64_t mtime_sec;
    uint32_t mtime_nsec;
    uint64_t inode;
    uint64_t device;
};

bool identity_of(const char* path, Identity* id) {
    struct stat st;
    if (lstat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    id->size = static_cast<uint64_t>(st.st_size);
    id->mtime_sec = static_cast<int64_t>(st.st_mtim.tv_sec);
    id->mtime_nsec = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    id->inode = static_cast<uint64_t>(st.st_ino);
    id->device = static_cast<uint64_t>(st.st_dev);
    return true;
}

bool same(const Identity& a, const Identity& b) {
    return a.size == b.size && a.mtime_sec == b.mtime_sec && a.mtime_nsec == b.mtime_nsec && a.inode == b.inode &&
           a.device == b.device;
}

void put(unsigned char* at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t get(const unsigned char* at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(at[i]) << (8 * i);
    return value;
}

void encode(unsigned char (&m)[kMemoSize], const Identity& id, int32_t count) {
    std::memcpy(m, kMagic, sizeof kMagic);
    put(m + 8, id.size, 8);
    put(m + 16, static_cast<uint64_t>(id.mtime_sec), 8);
    put(m + 24, id.mtime_nsec, 4);
    put(m + 28, static_cast<uint32_t>(count), 4);
    put(m + 32, id.inode, 8);
    put(m + 40, id.device, 8);
    put(m + 48, fnv1a32(reinterpret_cast<const char*>(m), 48), 4);
}

bool decode(const unsigned char* m, Identity* id, int32_t* count) {
    if (std::memcmp(m, kMagic, sizeof kMagic) != 0) return false;
    if (get(m + 48, 4) != fnv1a32(reinterpret_cast<const char*>(m), 48)) return false;
    id->size = get(m + 8, 8);
    id->mtime_sec = static_cast<int64_t>(get(m + 16, 8));
    id->mtime_nsec = static_cast<uint32_t>(get(m + 24, 4));
    *count = static_cast<int32_t>(static_cast<uint32_t>(get(m + 28, 4)));
    id->inode = get(m + 32, 8);
    id->device = get(m + 40, 8);
    return *count >= 0;
}

bool write_all(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void write_memo(const char* total_path, const Identity& id, int32_t count) {
    char memo[kMemoPathSize];
    char tmp[kMemoPathSize + kTempSuffixMax];
    if (!total_memo_path(memo, sizeof memo, total_path)) return;
    unsigned char m[kMemoSize];
    encode(m, id, count);
    const int fd = create_temp(tmp, sizeof tmp, memo);
    if (fd < 0) return;
    const bool written = write_all(fd, m, sizeof m);
    const bool closed = close(fd) == 0;
    // The rename replaces a file, link or FIFO at the memo's name; an
    // (empty) directory there goes first.
    struct stat st;
    if (lstat(memo, &st) == 0 && S_ISDIR(st.st_mode)) (void)clear_name(memo);
    if (!written || !closed || std::rename(tmp, memo) != 0) (void)unlink(tmp);
}

}  // namespace

int total_memo_path(char* out, size_t size, const char* total_path) {
    return VxFormat(out, size, "%s%s", total_path, kMemoSuffix);
}

int read_total_memo(const char* total_path, int32_t* count) {
    char memo[kMemoPathSize];
    if (!total_memo_path(memo, sizeof memo, total_path)) return 0;
    const int fd = open_regular(memo);
    if (fd < 0) return 0;
    unsigned char m[kMemoSize + 1];  // one byte more shows a memo too long
    size_t got = 0;
    for (;;) {
        const ssize_t n = read(fd, m + got, sizeof m - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
        if (got == sizeof m) break;
    }
    close(fd);
    Identity kept;
    Identity now;
    int32_t n = 0;
    if (got != kMemoSize || !decode(m, &kept, &n) ||
        !identity_of(total_path, &now) || !same(kept, now))
        return 0;
    *count = n;
    return 1;
}

int count_total_stations_memo(const char* total_path, int32_t* count) {
    if (read_total_memo(total_path, count)) return 1;
    Identity before;
    Identity after;
    const bool known = identity_of(total_path, &before);
    if (!count_total_stations(total_path, count)) return 0;
    // Kept only when the file counted is the one the memo will name.
    if (known && identity_of(total_path, &after) && same(before, after)) write_memo(total_path, before, *count);
    return 1;
}

void remove_total_memo(const char* total_path) {
    char memo[kMemoPathSize];
    if (total_memo_path(memo, sizeof memo, total_path)) (void)unlink(memo);
}
