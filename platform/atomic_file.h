// Output files written beside their final name and renamed into place, so
// that readers (and a second run at the same time) see either the whole new
// file or none. The temporary file is created new (create_temp).
#pragma once

#include <cstdio>

#include "platform/safe_files.h"

struct AtomicFile {
    FILE* file;
    char tmp_path[112 + kTempSuffixMax];
    char final_path[112];
};

// Opens the temporary file; false when it cannot be created.
bool atomic_open(AtomicFile* af, const char* final_path);
// Checks the stream, closes it and renames it into place; on any failure the
// temporary file is removed and false returned.
bool atomic_commit(AtomicFile* af);
