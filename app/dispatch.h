// The command front end: argument checks, storage root, one command.
#pragma once

#include "build_settings.h"

// Used when the command line gives no developer key; set at build time
// (RADIODIR_DEV_KEY).
extern char builtin_dev_key[sizeof RADIODIR_DEV_KEY];

// The whole run; returns the exit status (1 success, 0 failure).
int radiodir_main(int argc, char** argv);
