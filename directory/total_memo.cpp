#include "directory/total_memo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "directory/xml_walk.h"
#include "platform/cache.h"
#include "platform/safe_files.h"
#include "platform/text.h"

namespace {

// The memo's bytes, little-endian whatever the machine: "RDCOUNT" and the
// format version 1 (8 bytes), then the fields below at their offsets, then
// the FNV-1a of bytes 0-47 (4 bytes at 48).
constexpr char kMagic[8] = {'R', 'D', 'C', 'O', 'U', 'N', 'T', 1};
constexpr size_t kMemoSize = 52;
constexpr size_t kCheckAt = 48;

// The total file as the memo names it, and the count.
enum Field { kSize, kMtimeSec, kMtimeNsec, kCount, kInode, kDevice, kFields };
constexpr struct {
    uint8_t at;
    uint8_t width;
} kLayout[kFields] = {{8, 8}, {16, 8}, {24, 4}, {28, 4}, {32, 8}, {40, 8}};
using Memo = uint64_t[kFields];

bool identity_of(const RootFile& file, Memo& m) {
    struct stat st;
    if (fstatat(file.root->fd, file.name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) return false;
    m[kSize] = static_cast<uint64_t>(st.st_size);
    m[kMtimeSec] = static_cast<uint64_t>(st.st_mtim.tv_sec);
    m[kMtimeNsec] = static_cast<uint64_t>(st.st_mtim.tv_nsec);
    m[kInode] = static_cast<uint64_t>(st.st_ino);
    m[kDevice] = static_cast<uint64_t>(st.st_dev);
    return true;
}

// Do two memos name the same file (their counts aside)?
bool same_file(const Memo& a, const Memo& b) {
    for (int f = 0; f < kFields; ++f)
        if (f != kCount && a[f] != b[f]) return false;
    return true;
}

uint32_t check_value(const unsigned char* bytes) { return fnv1a32(reinterpret_cast<const char*>(bytes), kCheckAt); }

void put(unsigned char* at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t get(const unsigned char* at, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= static_cast<uint64_t>(at[i]) << (8 * i);
    return value;
}

void write_memo(const RootFile& total, const Memo& m) {
    RootFile memo;
    char tmp[kRootPathSize + kTempSuffixMax];
    if (!total_memo_file(&memo, total)) return;
    const int root = total.root->fd;
    unsigned char bytes[kMemoSize];
    std::memcpy(bytes, kMagic, sizeof kMagic);
    for (int f = 0; f < kFields; ++f) put(bytes + kLayout[f].at, m[f], kLayout[f].width);
    put(bytes + kCheckAt, check_value(bytes), 4);
    const int fd = create_temp(root, tmp, sizeof tmp, memo.name);
    if (fd < 0) return;
    const bool written = write(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
    const bool closed = close(fd) == 0;
    // The rename replaces a file, link or FIFO at the memo's name; a
    // directory there goes first.
    struct stat st;
    if (fstatat(root, memo.name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) (void)clear_name(root, memo.name);
    if (!written || !closed || renameat(root, tmp, root, memo.name) != 0) remove_file(root, tmp);
}

}  // namespace

bool total_memo_file(RootFile* memo, const RootFile& total) {
    char name[kRootPathSize];
    return format_text(name, sizeof name, "%s%s", total.name, kCompanionSuffix) && root_file(memo, *total.root, name);
}

bool read_total_memo(const RootFile& total, int32_t* count, bool standalone) {
    RootFile memo;
    if (!total_memo_file(&memo, total)) return false;
    const int fd = open_regular(memo.root->fd, memo.name);
    if (fd < 0) return false;
    unsigned char bytes[kMemoSize + 1];  // one byte more shows a memo too long
    const ssize_t got = read(fd, bytes, sizeof bytes);
    struct stat st;
    const bool fresh = fstat(fd, &st) == 0 && young_enough(st.st_mtime, kCacheMaxAge);
    close(fd);
    if (got != static_cast<ssize_t>(kMemoSize) || std::memcmp(bytes, kMagic, sizeof kMagic) != 0 ||
        get(bytes + kCheckAt, 4) != check_value(bytes))
        return false;
    Memo kept;
    Memo now;
    for (int f = 0; f < kFields; ++f) kept[f] = get(bytes + kLayout[f].at, kLayout[f].width);
    if (kept[kCount] > INT32_MAX) return false;
    if (identity_of(total, now) ? !same_file(kept, now) : !(standalone && fresh)) return false;
    *count = static_cast<int32_t>(kept[kCount]);
    return true;
}

bool count_total_stations_memo(const RootFile& total, int32_t* count) {
    if (read_total_memo(total, count)) return true;
    Memo before;
    Memo after;
    const bool known = identity_of(total, before);
    if (!count_total_stations(total.root->fd, total.name, count)) return false;
    // Kept only when the file counted is the one the memo will name.
    before[kCount] = static_cast<uint64_t>(*count);
    if (known && identity_of(total, after) && same_file(before, after)) write_memo(total, before);
    return true;
}
