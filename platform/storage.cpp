#include "platform/storage.h"

#include <sys/vfs.h>

#include <cstring>

#include "platform/text.h"

char storage_root[kStorageRootSize];

void choose_storage_root() {
    struct statfs st;
    VxStrCopyZ(storage_root, statfs(kExchangeDir, &st) == 0 ? kDiskRoot : kFlashRoot, sizeof storage_root);
}

bool storage_is_flash() { return std::strcmp(storage_root, kFlashRoot) == 0; }
