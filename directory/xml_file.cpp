#include "directory/xml_file.h"

#include <sys/stat.h>

#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "directory/xml_bounds.h"
#include "platform/safe_files.h"
#include "platform/limits.h"

namespace {

// Zero bytes behind the text: TinyXML's longest step over a character is
// four bytes, so wherever a step from inside the text lands, it reads zero.
constexpr size_t kPadding = 16;

// Reads at most one byte more than kXmlMaxFileSize: a file that grows while
// it is read shows as too big, and is never read on.
char* read_capped(FILE* f, size_t* length) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || st.st_size > static_cast<off_t>(kXmlMaxFileSize)) return nullptr;
    const size_t limit = kXmlMaxFileSize + 1;
    size_t capacity = static_cast<size_t>(st.st_size) + 1;  // + 1: the end shows
    char* buf = static_cast<char*>(std::malloc(capacity + kPadding));
    if (buf == nullptr) return nullptr;
    size_t got = 0;
    for (;;) {
        got += std::fread(buf + got, 1, capacity - got, f);
        if (got < capacity || capacity == limit) break;
        const size_t bigger = capacity * 2 < limit ? capacity * 2 : limit;
        char* grown = static_cast<char*>(std::realloc(buf, bigger + kPadding));
        if (grown == nullptr) {
            std::free(buf);
            return nullptr;
        }
        buf = grown;
        capacity = bigger;
    }
    if (std::ferror(f) || got == 0 || got > kXmlMaxFileSize) {
        std::free(buf);
        return nullptr;
    }
    *length = got;
    return buf;
}

}  // namespace

bool load_xml_file(TiXmlDocument* doc, const char* path, XmlShape* shape) {
    XmlShape seen = {0, 0, 0};
    if (shape != nullptr) *shape = seen;
    FilePtr f(fopen_regular(path));
    if (!f) return false;
    size_t length = 0;
    char* buf = read_capped(f.get(), &length);
    if (buf == nullptr) return false;
    buf[length] = '\0';

    // Line ends as LoadFile makes them, up to the first zero byte.
    const char* p = buf;
    char* q = buf;
    while (*p != '\0') {
        if (*p == '\r') {
            *q++ = '\n';
            if (*++p == '\n') ++p;
        } else {
            *q++ = *p++;
        }
    }
    std::memset(q, 0, static_cast<size_t>(buf + length + kPadding - q));

    const int within = xml_within_bounds(buf, static_cast<size_t>(q - buf), &seen);
    if (shape != nullptr) *shape = seen;
    if (within == 1) doc->Parse(buf, nullptr, TIXML_ENCODING_UTF8);
    std::free(buf);
    return within == 1 && !doc->Error();
}
