// The bounds that keep one run short and small whatever the directory
// service answers or the disk holds. Every limit of the program is here.
#pragma once

#include <cstdint>

// Downloads. Each runs under a deadline, and the file it writes may not
// grow past the cap of its kind; past either, the downloader and its
// children are killed and the download fails.
inline constexpr int kDownloadDeadlineSec = 120;
inline constexpr uint32_t kPageCap = 1024u * 1024u;              // one directory page
inline constexpr uint32_t kTotalCap = 64u * 1024u * 1024u;       // a whole listing
inline constexpr uint32_t kPlaylistCap = 64u * 1024u;            // one station's playlist

// What TinyXML may be handed. A file past any of these is not loadable.
inline constexpr uint32_t kXmlMaxFileSize = 1024u * 1024u;       // bytes of the file
inline constexpr int kXmlMaxDepth = 256;                         // nested elements
inline constexpr int kXmlMaxAttributes = 64;                     // of one element
// The nodes TinyXML would build for the file (elements, attributes, texts,
// comments, ...), each counted at its size in memory: a file of 1 MiB can
// otherwise hold 262,144 empty elements, a document of about 60 MB.
inline constexpr uint32_t kXmlMaxNodeBytes = 8u * 1024u * 1024u;

// Runs take turns on the cache. A run waits for the one before it at most
// as long as a run can take: two downloads at their deadline, and a little
// for the rest of that run.
inline constexpr int kRunLockMarginSec = 5;
inline constexpr int kRunLockWaitSec = 2 * kDownloadDeadlineSec + kRunLockMarginSec;
