#include "platform/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cstring>

#include "platform/text.h"

bool atomic_open(AtomicFile* af, const char* final_path) {
    std::memset(af, 0, sizeof *af);
    if (!copy_text(af->final_path, final_path, sizeof af->final_path)) return false;
    const int fd = create_temp(AT_FDCWD, af->tmp_path, sizeof af->tmp_path, final_path);
    if (fd < 0) return false;
    af->file = fdopen(fd, "w");
    if (af->file == nullptr) {
        close(fd);
        remove_file(AT_FDCWD, af->tmp_path);
        return false;
    }
    return true;
}

bool atomic_commit(AtomicFile* af) {
    if (af->file == nullptr) return false;
    // On the disk before it takes the answer's name.
    const bool ok = std::fflush(af->file) == 0 && !std::ferror(af->file) && fsync(fileno(af->file)) == 0;
    const bool closed = std::fclose(af->file) == 0;
    af->file = nullptr;
    if (!ok || !closed || renameat(AT_FDCWD, af->tmp_path, AT_FDCWD, af->final_path) != 0) {
        remove_file(AT_FDCWD, af->tmp_path);
        return false;
    }
    return true;
}
