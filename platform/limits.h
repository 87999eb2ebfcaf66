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

// XML files, as directory/xml_walk.h follows TinyXML's parse of them. A page
// past any of these is not handed to TinyXML; a total file past the nesting,
// attributes or names is not counted. Totals are read in chunks, so neither
// their size nor their document's memory is bounded.
inline constexpr uint32_t kXmlMaxFileSize = 1024u * 1024u;       // bytes of a page
inline constexpr int kXmlMaxDepth = 256;                         // nested elements
inline constexpr int kXmlMaxAttributes = 64;                     // of one element
// The names the walk keeps: those of the open elements, for their end tags,
// and the attribute names of the element being read, for TinyXML's check
// for a repeated one.
inline constexpr uint32_t kXmlMaxNameBytes = 16u * 1024u;
// The nodes TinyXML would build for a page (elements, attributes, texts,
// comments, ...), each counted at its size in memory: a file of 1 MiB can
// otherwise hold 262,144 empty elements, a document of about 60 MB.
inline constexpr uint32_t kXmlMaxNodeBytes = 8u * 1024u * 1024u;

// Runs take turns on the cache. A run waits for the one before it at most
// as long as a run can take: two downloads at their deadline, and a little
// for the rest of that run.
inline constexpr int kRunLockMarginSec = 5;
inline constexpr int kRunLockWaitSec = 2 * kDownloadDeadlineSec + kRunLockMarginSec;
