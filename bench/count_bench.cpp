// count_bench FILE: the station count step alone, as the total probe runs it
// on a total file it has not counted before (no memo): the file walked in
// chunks (xml_walk.h). Prints "<stations>" or "not counted"; exit status 0
// when counted. Run by scripts/bench (inside tools/sandbox) under hyperfine
// and GNU time.
#include <cstdio>

#include "directory/xml_walk.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: count_bench FILE\n");
        return 2;
    }
    int32_t n = 0;
    if (!count_total_stations(argv[1], &n)) {
        std::printf("not counted\n");
        return 1;
    }
    std::printf("%d\n", static_cast<int>(n));
    return 0;
}
