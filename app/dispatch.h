// The command front end: argument checks, storage root, one command.
#pragma once

// Used when the command line gives no developer key.
extern char builtin_dev_key[17];

// The whole run; returns the exit status (1 success, 0 failure).
int radiodir_main(int argc, char** argv);
