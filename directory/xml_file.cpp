#include "directory/xml_file.h"

#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace {

// Zero bytes behind the text: TinyXML's longest step over a character is
// four bytes, so wherever a step from inside the text lands, it reads zero.
constexpr size_t kPadding = 16;

}  // namespace

bool load_xml_file(TiXmlDocument* doc, const char* path) {
    FilePtr f(fopen_regular(path));
    if (!f) return false;
    size_t capacity = 4096;
    size_t length = 0;
    char* buf = static_cast<char*>(std::malloc(capacity + kPadding));
    if (buf == nullptr) return false;
    for (;;) {
        length += std::fread(buf + length, 1, capacity - length, f.get());
        if (length < capacity) break;
        char* bigger = capacity <= SIZE_MAX / 4 ? static_cast<char*>(std::realloc(buf, 2 * capacity + kPadding)) : nullptr;
        if (bigger == nullptr) {
            std::free(buf);
            return false;
        }
        buf = bigger;
        capacity *= 2;
    }
    if (std::ferror(f.get()) || length == 0) {
        std::free(buf);
        return false;
    }
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

    doc->Parse(buf, nullptr, TIXML_ENCODING_UTF8);
    std::free(buf);
    return !doc->Error();
}
