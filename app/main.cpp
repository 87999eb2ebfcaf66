// radiodir: browses the internet-radio directory for the player's interface,
// one command per run. See README.md.
#include "app/dispatch.h"

int main(int argc, char** argv) { return radiodir_main(argc, argv); }
