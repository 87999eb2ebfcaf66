// Any bytes as a listing's total file: count_total_stations gives TinyXML's
// own answer for them, loadable or not and the count, except for a document
// past the walk's bounds, which is not counted.
#include <tinyxml.h>

#include <cstdint>
#include <string>

#include "directory/xml_walk.h"
#include "fuzz/fuzz_common.h"
#include "platform/limits.h"
#include "tests/directory/xml_tree.h"

namespace {

constexpr char kPath[] = "/tmp/fuzz_Total.xml";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz_write_file(kPath, data, size)) fuzz_fail("cannot write the total file");
    int32_t count = -1;
    const bool counted = count_total_stations(AT_FDCWD, kPath, &count);
    TiXmlDocument doc;
    const int32_t want = xml_tree::stations(xml_tree::loadfile_text(std::string(reinterpret_cast<const char*>(data), size)), &doc);
    if (counted) {
        fuzz_check(count == want, "a count other than TinyXML's");
    } else {
        fuzz_check(count == -1, "count set for a file that was not counted");
        const xml_tree::Measure m = xml_tree::measure(doc);
        fuzz_check(want < 0 || m.depth > kXmlMaxDepth || m.attributes > kXmlMaxAttributes || m.names > kXmlMaxNameBytes,
                   "a total that TinyXML loads within the bounds not counted");
    }
    return 0;
}
