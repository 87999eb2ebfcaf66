// radiodir: browses the internet-radio directory for the player's interface,
// one command per run. See README.md.
#include "app/dispatch.h"
#include "build_settings.h"

// The version, for whoever has only the binary (`strings radiodir`); kept by
// the linker although nothing refers to it, and never printed.
[[gnu::used, gnu::retain]] extern const char radiodir_version[] = "radiodir version " RADIODIR_VERSION;

int main(int argc, char** argv) { return radiodir_main(argc, argv); }
