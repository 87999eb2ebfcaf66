#include "directory/xml_file.h"

#include <unistd.h>

#include <tinyxml.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/limits.h"

namespace {

// Zeros behind the text: TinyXML's longest step over a character is four
// bytes, so wherever a step from inside the text lands, it reads zero.
constexpr size_t kPadding = 16;

}  // namespace

bool load_xml_file(TiXmlDocument* doc, const char* path, XmlShape* shape) {
    if (shape != nullptr) *shape = XmlShape{0, 0, 0};
    const int fd = open_regular(path);
    if (fd < 0) return false;
    // One byte more than the bound: a file that grows while it is read shows
    // as too big, and is never read on.
    const size_t limit = kXmlMaxFileSize + 1;
    char* buf = static_cast<char*>(std::malloc(limit + kPadding));
    size_t got = 0;
    ssize_t n = 1;
    while (buf != nullptr && got < limit && n != 0) {
        n = read(fd, buf + got, limit - got);
        if (n < 0 && errno != EINTR) break;
        if (n > 0) got += static_cast<size_t>(n);
    }
    close(fd);
    const bool read_whole = buf != nullptr && n >= 0 && got > 0 && got <= kXmlMaxFileSize;
    bool loaded = false;
    if (read_whole) {
        const size_t length = xml_prepare_text(buf, got);
        std::memset(buf + length, 0, got - length + kPadding);
        const XmlWalk walk = xml_walk_text(buf, length);
        if (shape != nullptr) *shape = walk.shape;
        if (walk.verdict != XmlVerdict::kPastBound) {
            doc->Parse(buf, nullptr, TIXML_ENCODING_UTF8);
            loaded = !doc->Error();
        }
    }
    std::free(buf);
    return loaded;
}
