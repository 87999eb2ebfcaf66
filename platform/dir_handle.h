// Directory handles and mkdir in the device's platform API, each traced as
// the player's firmware traces them.
#pragma once

#include <dirent.h>

struct VxDirectory {
    DIR* stream;
};

// 1 with *out set, -1 when the directory cannot be opened.
int VxOpenDirectory(const char* path, VxDirectory** out);
// 1 when closed and released, -2 when closedir fails (the handle is kept).
int VxCloseDirectory(VxDirectory* dir);
// 1 when created (mode 0744), 0 otherwise with errno from mkdir.
int VxFileMkdir(const char* path);
