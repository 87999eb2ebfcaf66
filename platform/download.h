// One download into the storage root: the file made new for the downloader,
// handed to the downloader's unprivileged user where the file system keeps
// owners, and recorded beside it while in flight, so that a run killed
// meanwhile leaves no partial file that a later run would take for a cached
// answer.
#pragma once

#include <cstdint>

#include "platform/storage_root.h"

// Fetches `url` into `file`: whatever stands at its name is removed first
// (the download fails when it cannot be), the file is created new, it may
// not grow past `cap` bytes, and it must be the very file made here, within
// the cap, when the downloader ends. On the file systems that keep owners
// the downloader runs as the downloader's user on a file given to that user,
// so that a link someone renames over the name meanwhile only leads it
// where that user may write; the file is the program's again afterwards.
// The data is on the disk before the record goes. True on success; on
// failure nothing is left at the name.
bool download_to(const RootFile& file, const char* url, uint32_t cap);

// Is `name` one of the program's cache files: a page (".html"), a total
// file (".xml") or a playlist (".pls")?
bool is_cache_name(const char* name);
// Is `name` (in the storage root) the record of a download in flight?
bool is_download_mark(const char* name);
// Removes the record `mark` in the directory `root` and the file of the
// download it names, when that is one of the program's own (a cache or a
// temporary name), which a killed run left unfinished. Called with the run
// lock held.
void clear_interrupted_download(int root, const char* mark);
