// Any bytes as a listing's total file: count_total_stations loads it or
// refuses it, and never counts more stations than the text names.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "directory/xml_walk.h"
#include "fuzz/fuzz_common.h"

namespace {

constexpr char kPath[] = "/tmp/fuzz_Total.xml";

size_t occurrences(std::string_view text, std::string_view word) {
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz_write_file(kPath, data, size)) fuzz_fail("cannot write the total file");
    int32_t count = -1;
    if (count_total_stations(kPath, &count) == 1) {
        // Each counted element's name stands in the text as "station".
        const std::string_view text(reinterpret_cast<const char*>(data), size);
        fuzz_check(count >= 0 && static_cast<size_t>(count) <= occurrences(text, "station"),
                   "more stations than the text names");
    } else {
        fuzz_check(count == -1, "count set for a file that did not load");
    }
    return 0;
}
