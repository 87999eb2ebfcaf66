// One download into the storage root: the file made new for the downloader,
// the download recorded beside it while in flight, so that a run killed
// meanwhile leaves no partial file that a later run would take for a cached
// answer.
#pragma once

#include <cstdint>

// The longest path of a downloaded file or its record, terminator included.
inline constexpr int kDownloadPathSize = 288;

// Fetches `url` into `out_path`, a file directly in the storage root:
// whatever stands at that name is removed first (the download fails when it
// cannot be), the file is created new, and it may not grow past `cap` bytes.
// True on success; on failure nothing is left at `out_path`.
bool download_to(const char* url, const char* out_path, uint32_t cap);

// Is `name` (in the storage root) the record of a download in flight?
bool is_download_mark(const char* name);
// Removes the record `mark` in `dir` and the file of the download it names,
// which a killed run left unfinished. Called with the run lock held.
void clear_interrupted_download(const char* dir, const char* mark);
