// Runs of the program take turns on the cache, so that no run reads a file
// that another is still writing, and the leftovers of a killed run are
// cleared by the next one.
#pragma once

// Takes the lock of the storage root open on `root` and holds it until the
// process ends. The lock is the file ".lock" in the root, which only the
// program's user can open. A run waits only while another run holds it, at
// most as long as a run can take; then, or on any other failure, false: the
// command fails, it never goes on unlocked. Once held, what a killed run
// left is cleared: an unfinished download of the program's own and its
// temporary files in the root, temporary answers in `exchange_dir`.
bool take_run_lock(int root, const char* exchange_dir);
