// radiodir: browses the internet-radio directory for the player's interface,
// one command per run. See README.md.
#include <fcntl.h>
#include <unistd.h>

#include "app/dispatch.h"
#include "build_settings.h"

// The version, for whoever has only the binary (`strings radiodir`); kept by
// the linker although nothing refers to it, and never printed.
[[gnu::used, gnu::retain]] extern const char radiodir_version[] = "radiodir version " RADIODIR_VERSION;

namespace {

// A standard descriptor (0, 1, 2) that the caller left closed would be the
// next file opened: the lock file or a download would take in the printed
// lines and the downloader's progress. Each closed one is opened on
// /dev/null, which takes the lowest free descriptor. True when all three
// are open.
bool open_closed_std_streams() {
    int fd = open("/dev/null", O_RDWR);
    while (fd >= 0 && fd <= STDERR_FILENO) fd = open("/dev/null", O_RDWR);
    if (fd > STDERR_FILENO) close(fd);
    return fd > STDERR_FILENO;
}

}  // namespace

int main(int argc, char** argv) {
    (void)open_closed_std_streams();  // nothing else is open yet
    return radiodir_main(argc, argv);
}
