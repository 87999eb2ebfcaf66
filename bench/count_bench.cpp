// count_bench [--document] FILE: the station count step alone, as the total
// probe runs it on a total file it has not counted before (no memo): the
// file walked in chunks (xml_walk.h); or with --document as it was done
// before the walk, the whole document loaded by TinyXML and walked, whatever
// its size. Prints "<stations>" or "not loadable"; exit status 0 when
// loaded. Run by scripts/bench (inside tools/sandbox) under hyperfine and
// GNU time.
#include <fcntl.h>

#include <cstdio>
#include <cstring>

#include <tinyxml.h>

#include "directory/xml_walk.h"

int main(int argc, char** argv) {
    const bool document = argc == 3 && std::strcmp(argv[1], "--document") == 0;
    if (argc != 2 && !document) {
        std::fprintf(stderr, "usage: count_bench [--document] FILE\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    int32_t n = 0;
    bool ok = false;
    if (document) {
        TiXmlDocument doc(path);
        ok = doc.LoadFile(TIXML_ENCODING_UTF8);
        for (const TiXmlNode* top = doc.FirstChild(); ok && top != nullptr; top = top->NextSibling())
            for (const TiXmlNode* c = top->FirstChild(); c != nullptr; c = c->NextSibling())
                if (c->Type() == TiXmlNode::TINYXML_ELEMENT && std::strcmp(c->Value(), "station") == 0) ++n;
    } else {
        ok = count_total_stations(AT_FDCWD, path, &n);
    }
    if (!ok) {
        std::printf("not loadable\n");
        return 1;
    }
    std::printf("%d\n", static_cast<int>(n));
    return 0;
}
