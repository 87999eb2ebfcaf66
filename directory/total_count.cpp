// Counting the stations of a total file without building its document.
//
// A full listing runs to tens of thousands of stations (12 MB and more), and
// TinyXML's document of it costs about seven times its size in memory. The
// count only needs the "station" elements that are children of a top-level
// node, so the file is read here in fixed-size chunks and scanned by the same
// rules TinyXML's parser follows (UTF-8 mode): where it skips white space,
// where a character of several bytes ends, which entities it reads, where a
// text, an attribute value, a comment or an element ends, and when it stops
// or fails. Whatever the scanner does not follow byte for byte (processing
// instructions, DOCTYPE and other "<!" nodes, unquoted attribute values,
// unusual character references, declarations of another form, repeated or
// very long names, very deep nesting) makes it give up, and then TinyXML
// itself loads the file and the document is walked as before: the answer is
// always the one TinyXML's walk gives. A file left to TinyXML loads only
// within the bounds of load_xml_file (its size, nesting, attributes and
// document); the scanner itself needs no bound on the size.
#include <fcntl.h>
#include <unistd.h>

#include <tinyxml.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "directory/xml_walk.h"
#include "directory/xml_chars.h"
#include "directory/xml_file.h"
#include "platform/safe_files.h"
#include "platform/limits.h"

namespace {

constexpr size_t kChunk = 64 * 1024;
constexpr size_t kLookahead = 64;          // longest look ahead of any step
// Past these two bounds the scanner gives up, and load_xml_file does not hand
// the file to TinyXML either, so no count ever comes from past them.
constexpr int kMaxDepth = kXmlMaxDepth;
constexpr size_t kNameArena = 4096;        // names of the open elements
constexpr int kMaxAttributes = kXmlMaxAttributes;  // per element, for the duplicate check
constexpr size_t kAttributeArena = 32 * kMaxAttributes;
constexpr size_t kMaxDigits = 32;          // of a character reference

using xml_chars::char_len;
using xml_chars::is_hex;
using xml_chars::is_name_char;
using xml_chars::is_name_start;
using xml_chars::is_space;

// The file as TinyXML sees it: CR LF and lone CR become LF, and the text ends
// at the first zero byte.
struct Reader {
    int fd;
    unsigned char* buf;  // kChunk + kLookahead bytes
    size_t pos;
    size_t len;
    bool end;         // nothing follows buf[len): end of file or a zero byte
    bool failed;      // a read error: TinyXML must decide
    bool after_cr;    // the last byte taken was a CR, so a LF right after it goes
};

// Reads until at least `need` bytes follow pos, or the text ends.
bool fill(Reader* r, size_t need) {
    while (r->len - r->pos < need) {
        if (r->end) return false;
        if (r->pos > 0) {
            std::memmove(r->buf, r->buf + r->pos, r->len - r->pos);
            r->len -= r->pos;
            r->pos = 0;
        }
        const size_t room = kChunk + kLookahead - r->len;
        ssize_t got;
        do {
            got = read(r->fd, r->buf + r->len, room);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            r->failed = got < 0;
            r->end = true;
            return false;
        }
        unsigned char* in = r->buf + r->len;
        size_t n = static_cast<size_t>(got);
        if (void* zero = std::memchr(in, 0, n)) {
            n = static_cast<size_t>(static_cast<unsigned char*>(zero) - in);
            r->end = true;
        }
        size_t w = r->len;
        for (size_t i = 0; i < n; ++i) {
            const unsigned char c = in[i];
            if (c == '\n' && r->after_cr) {
                r->after_cr = false;
                continue;
            }
            r->after_cr = c == '\r';
            r->buf[w++] = c == '\r' ? '\n' : c;
        }
        r->len = w;
    }
    return true;
}

// The byte k places ahead, -1 past the end of the text.
inline int peek(Reader* r, size_t k) {
    if (r->pos + k < r->len) return r->buf[r->pos + k];
    return fill(r, k + 1) ? r->buf[r->pos + k] : -1;
}

bool looking_at(Reader* r, const char* text) {
    for (size_t k = 0; text[k] != '\0'; ++k)
        if (peek(r, k) != static_cast<unsigned char>(text[k])) return false;
    return true;
}

// Case-insensitive, as TinyXML matches "<?xml".
bool looking_at_ci(Reader* r, const char* text) {
    for (size_t k = 0; text[k] != '\0'; ++k) {
        int c = peek(r, k);
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        if (c != static_cast<unsigned char>(text[k])) return false;
    }
    return true;
}

// TinyXML's SkipWhiteSpace: isspace bytes and the byte-order marks EF BB BF,
// EF BF BE and EF BF BF.
void skip_space(Reader* r) {
    for (;;) {
        const int c = peek(r, 0);
        if (c == 0xEF) {
            const int c1 = peek(r, 1);
            const int c2 = peek(r, 2);
            if ((c1 == 0xBB && c2 == 0xBF) || (c1 == 0xBF && (c2 == 0xBE || c2 == 0xBF))) {
                r->pos += 3;
                continue;
            }
            return;
        }
        if (!is_space(c)) return;
        ++r->pos;
    }
}

// Steps over one "&" the way TinyXML's GetEntity reads it. A numeric
// reference is followed only in its plain form ("&#" decimal digits ";" or
// "&#x" hex digits ";"); false for any other, which TinyXML reads by rules
// not followed here.
bool step_entity(Reader* r) {
    if (peek(r, 1) != '#' || peek(r, 2) < 0) {  // named, known or not: the rest is plain text
        ++r->pos;
        return true;
    }
    const bool hex = peek(r, 2) == 'x';
    size_t k = hex ? 3 : 2;
    for (size_t digits = 0;; ++k, ++digits) {
        const int c = peek(r, k);
        if (c == ';') break;
        if (digits == kMaxDigits || !(hex ? is_hex(c) : (c >= '0' && c <= '9'))) return false;
    }
    r->pos += k + 1;
    return true;
}

// Steps character by character (as TinyXML's ReadText does) until `stop`
// stands at a character's start. False when the text ends first, or at a
// reference this scanner does not follow.
bool scan_chars(Reader* r, unsigned char stop) {
    for (;;) {
        // Fast run inside the buffer, where every step fits.
        const unsigned char* b = r->buf;
        size_t i = r->pos;
        const size_t safe = r->len >= 4 ? r->len - 4 : 0;
        while (i < safe) {
            const unsigned char c = b[i];
            if (c == stop || c == '&') break;
            i += static_cast<size_t>(char_len(c));
        }
        r->pos = i;
        const int c = peek(r, 0);
        if (c < 0) return false;
        if (c == stop) return true;
        if (c == '&') {
            if (!step_entity(r)) return false;
            continue;
        }
        const int n = char_len(static_cast<unsigned char>(c));
        // A character cut by the end of the text: TinyXML reads past it.
        if (peek(r, static_cast<size_t>(n - 1)) < 0) return false;
        r->pos += static_cast<size_t>(n);
    }
}

// Bytes up to and including `end`, taken one by one (comments, CDATA).
bool skip_past(Reader* r, const char* end) {
    const unsigned char first = static_cast<unsigned char>(end[0]);
    for (;;) {
        const void* hit = r->pos < r->len ? std::memchr(r->buf + r->pos, first, r->len - r->pos) : nullptr;
        if (hit == nullptr) {
            r->pos = r->len;
            if (peek(r, 0) < 0) return false;
            continue;
        }
        r->pos = static_cast<size_t>(static_cast<const unsigned char*>(hit) - r->buf);
        if (looking_at(r, end)) {
            r->pos += std::strlen(end);
            return true;
        }
        ++r->pos;
    }
}

// A name as TinyXML's ReadName takes it, copied to `out` (without a
// terminator); false when there is none or it does not fit.
bool read_name(Reader* r, char* out, size_t room, size_t* length) {
    if (!is_name_start(peek(r, 0))) return false;
    size_t n = 0;
    for (int c = peek(r, 0); is_name_char(c); c = peek(r, 0)) {
        if (n == room) return false;
        out[n++] = static_cast<char>(c);
        ++r->pos;
    }
    *length = n;
    return true;
}

// The declaration in its plain form only: "<?xml", then blank-separated
// version, encoding and standalone values in quotes (printable ASCII without
// quotes, "<", ">" or "&"), then "?>". TinyXML ends it at the same ">".
bool scan_declaration(Reader* r) {
    r->pos += 5;
    for (;;) {
        const size_t before = r->pos;
        while (peek(r, 0) == ' ' || peek(r, 0) == '\t' || peek(r, 0) == '\n') ++r->pos;
        if (looking_at(r, "?>")) {
            r->pos += 2;
            return true;
        }
        if (r->pos == before) return false;
        size_t k;
        if (looking_at(r, "version"))
            k = 7;
        else if (looking_at(r, "encoding"))
            k = 8;
        else if (looking_at(r, "standalone"))
            k = 10;
        else
            return false;
        r->pos += k;
        while (peek(r, 0) == ' ' || peek(r, 0) == '\t' || peek(r, 0) == '\n') ++r->pos;
        if (peek(r, 0) != '=') return false;
        ++r->pos;
        while (peek(r, 0) == ' ' || peek(r, 0) == '\t' || peek(r, 0) == '\n') ++r->pos;
        const int quote = peek(r, 0);
        if (quote != '"' && quote != '\'') return false;
        ++r->pos;
        for (int c = peek(r, 0); c != quote; c = peek(r, 0)) {
            if (c < 0x20 || c > 0x7E || c == '"' || c == '\'' || c == '<' || c == '>' || c == '&') return false;
            ++r->pos;
        }
        ++r->pos;
    }
}

struct Scan {
    Reader reader;
    int32_t stations;
    int depth;                     // open elements
    size_t name_end[kMaxDepth];    // end of each open element's name in `names`
    char names[kNameArena];
};

// After "<" of a start tag: the name, the attributes, then "/>" or ">".
// Sets *empty for "/>".
bool scan_start_tag(Scan* s, bool* empty) {
    Reader* r = &s->reader;
    ++r->pos;
    skip_space(r);
    if (s->depth == kMaxDepth) return false;
    const size_t start = s->depth == 0 ? 0 : s->name_end[s->depth - 1];
    size_t n = 0;
    if (!read_name(r, s->names + start, kNameArena - start, &n) || peek(r, 0) < 0) return false;
    if (s->depth == 1 && n == 7 && std::memcmp(s->names + start, "station", 7) == 0) ++s->stations;

    char attr_names[kAttributeArena];
    size_t attr_end[kMaxAttributes];
    int attrs = 0;
    for (;;) {
        skip_space(r);
        const int c = peek(r, 0);
        if (c < 0) return false;
        if (c == '/') {
            if (peek(r, 1) != '>') return false;
            r->pos += 2;
            *empty = true;
            return true;
        }
        if (c == '>') {
            ++r->pos;
            s->name_end[s->depth++] = start + n;
            *empty = false;
            return true;
        }
        // An attribute: name, "=", a quoted value.
        if (attrs == kMaxAttributes) return false;
        const size_t a0 = attrs == 0 ? 0 : attr_end[attrs - 1];
        size_t an = 0;
        if (!read_name(r, attr_names + a0, kAttributeArena - a0, &an) || peek(r, 0) < 0) return false;
        // A repeated attribute: left to TinyXML.
        for (int i = 0; i < attrs; ++i) {
            const size_t b0 = i == 0 ? 0 : attr_end[i - 1];
            if (attr_end[i] - b0 == an && std::memcmp(attr_names + b0, attr_names + a0, an) == 0) return false;
        }
        attr_end[attrs++] = a0 + an;
        skip_space(r);
        if (peek(r, 0) != '=') return false;
        ++r->pos;
        skip_space(r);
        const int quote = peek(r, 0);
        if (quote != '"' && quote != '\'') return false;
        ++r->pos;
        if (!scan_chars(r, static_cast<unsigned char>(quote))) return false;
        ++r->pos;
        if (peek(r, 0) < 0) return false;
    }
}

// After "</" of the end tag of the innermost open element.
bool scan_end_tag(Scan* s) {
    Reader* r = &s->reader;
    const size_t start = s->depth == 1 ? 0 : s->name_end[s->depth - 2];
    const size_t n = s->name_end[s->depth - 1] - start;
    r->pos += 2;
    for (size_t k = 0; k < n; ++k)
        if (peek(r, k) != static_cast<unsigned char>(s->names[start + k])) return false;
    r->pos += n;
    skip_space(r);
    if (peek(r, 0) != '>') return false;
    ++r->pos;
    --s->depth;
    return true;
}

// Inside an open element, at the start of its content or after a node of it:
// reads on until that element's end tag has been read. Iterative: the open
// elements are the stack.
bool scan_content(Scan* s) {
    Reader* r = &s->reader;
    const int outer = s->depth - 1;
    skip_space(r);
    while (s->depth > outer) {
        const int c = peek(r, 0);
        if (c < 0) return false;
        if (c != '<') {
            // Text up to the next "<", which must not be the last byte.
            if (!scan_chars(r, '<') || peek(r, 1) < 0) return false;
            continue;
        }
        const int c1 = peek(r, 1);
        bool empty = false;
        if (c1 == '/') {
            if (!scan_end_tag(s)) return false;
            if (s->depth == outer) return true;
        } else if (looking_at(r, "<!--")) {
            r->pos += 4;
            if (!skip_past(r, "-->")) return false;
        } else if (looking_at(r, "<![CDATA[")) {
            r->pos += 9;
            if (!skip_past(r, "]]>") || peek(r, 0) < 0) return false;
        } else if (is_name_start(c1) && !looking_at_ci(r, "<?xml")) {
            if (!scan_start_tag(s, &empty)) return false;
            if (!empty) {
                skip_space(r);
                continue;
            }
        } else {
            return false;
        }
        skip_space(r);
    }
    return true;
}

// 1: the document is one TinyXML loads, with s->stations counted; 0: left
// to TinyXML.
int scan_document(Scan* s) {
    Reader* r = &s->reader;
    int nodes = 0;
    skip_space(r);
    for (;;) {
        const int c = peek(r, 0);
        // TinyXML stops at the end or at anything but "<" between top-level
        // nodes, and keeps what it has read.
        if (c != '<') break;
        bool empty = false;
        if (looking_at_ci(r, "<?xml")) {
            if (!looking_at(r, "<?xml") || !scan_declaration(r)) return 0;
        } else if (looking_at(r, "<!--")) {
            r->pos += 4;
            if (!skip_past(r, "-->")) return 0;
        } else if (is_name_start(peek(r, 1))) {
            if (!scan_start_tag(s, &empty)) return 0;
            if (!empty && !scan_content(s)) return 0;
        } else {
            return 0;
        }
        ++nodes;
        skip_space(r);
    }
    return nodes > 0 && !r->failed ? 1 : 0;
}


// 1 with *count set when the scanner followed the whole file.
int scan_file(int fd, int32_t* count) {
    Scan* s = static_cast<Scan*>(std::malloc(sizeof(Scan)));
    unsigned char* buf = static_cast<unsigned char*>(std::malloc(kChunk + kLookahead));
    int scanned = 0;
    if (s != nullptr && buf != nullptr) {
        s->reader = Reader{fd, buf, 0, 0, false, false, false};
        s->stations = 0;
        s->depth = 0;
        scanned = scan_document(s);
        if (scanned) *count = s->stations;
    }
    std::free(buf);
    std::free(s);
    return scanned;
}

}  // namespace

static int walk_total_stations(const char* path, int32_t* count) {
    TiXmlDocument doc(path);
    if (!load_xml_file(&doc, path)) return 0;
    int32_t n = 0;
    for (const TiXmlNode* top = doc.FirstChild(); top != nullptr; top = top->NextSibling())
        for (const TiXmlNode* c = top->FirstChild(); c != nullptr; c = c->NextSibling())
            if (c->Type() == TiXmlNode::TINYXML_ELEMENT && std::strcmp(c->Value(), "station") == 0) ++n;
    *count = n;
    return 1;
}

int scan_total_stations(const char* path, int32_t* count) {
    const int fd = open_regular(path);
    if (fd < 0) return 0;
    const int scanned = scan_file(fd, count);
    close(fd);
    return scanned;
}

bool count_total_stations(const char* path, int32_t* count) {
    const int fd = open_regular(path);
    if (fd < 0) return 0;  // TinyXML cannot open it either
    const int scanned = scan_file(fd, count);
    close(fd);
    return scanned ? 1 : walk_total_stations(path, count);
}
