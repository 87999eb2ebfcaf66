#include "directory/xml_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <tinyxml.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/safe_files.h"
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
    // Read up to one byte past the file's size, at most kXmlMaxFileSize + 1
    // bytes: a file that grows while it is read is not used.
    struct stat st;
    const bool small = fstat(fd, &st) == 0 && st.st_size <= static_cast<off_t>(kXmlMaxFileSize);
    const size_t size = small ? static_cast<size_t>(st.st_size) : 0;
    char* buf = small ? static_cast<char*>(std::malloc(size + 1 + kPadding)) : nullptr;
    size_t got = 0;
    for (ssize_t n = 1; buf != nullptr && got <= size && n != 0;) {
        n = read(fd, buf + got, size + 1 - got);
        if (n < 0 && errno != EINTR) got = size + 1;
        if (n > 0) got += static_cast<size_t>(n);
    }
    close(fd);
    bool loaded = false;
    if (buf != nullptr && got > 0 && got <= size) {
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
