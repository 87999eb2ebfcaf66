// The walk follows tinyxmlparser.cpp (UTF-8 mode, white space condensed, C
// locale) function by function, each named below. Where TinyXML's function
// returns null, the walk's returns false ("gives up"). A page's memory is
// counted as TinyXML allocates it: each node at its sizeof, each string that
// outgrows std::string's inline room (in the device's build, every one of
// TinyXML's own strings) at the capacity it has grown to, each block with the
// allocator's overhead; a string whose length needs decoding (entities,
// condensed white space) at the bytes it comes from, which are never fewer.
#include "directory/xml_walk.h"

#include <unistd.h>

#include <tinyxml.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/safe_files.h"
#include "platform/limits.h"

namespace {

constexpr size_t kChunk = 64 * 1024;  // one read of a file
constexpr size_t kAhead = 16;         // the longest look ahead: "standalone"

// utf8ByteTable: the bytes GetChar takes for a character from its first byte.
constexpr int char_len(int c) { return c < 0xC2 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 1; }

// Byte classes of the runs the walk steps over: kSpace isspace (IsWhiteSpace);
// kNameStart IsAlpha (every byte from 127 up) or "_"; kName IsAlphaNum, "_",
// "-", "." or ":"; kText, kDquote, kSquote a character GetChar takes as one
// byte, other than "&" and "<" or the quote; kBare a byte of an unquoted
// value; kWord what a declaration reads over. Zero is in none.
enum : uint8_t { kSpace = 1, kNameStart = 2, kName = 4, kText = 8, kDquote = 16, kSquote = 32, kBare = 64, kWord = 128 };
constexpr uint8_t class_of(int c) {
    const bool space = c == ' ' || (c >= '\t' && c <= '\r');
    const bool alpha = c >= 127 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool name = alpha || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == ':';
    const bool one = c != 0 && c != '&' && char_len(c) == 1;
    const bool word = c != 0 && !space && c != '>';
    return static_cast<uint8_t>((space ? kSpace : 0) | (alpha || c == '_' ? kNameStart : 0) | (name ? kName : 0) |
                                (one && c != '<' ? kText : 0) | (one && c != '"' ? kDquote : 0) |
                                (one && c != '\'' ? kSquote : 0) |
                                (word && c != '/' && c != '"' && c != '\'' ? kBare : 0) | (word ? kWord : 0));
}
constexpr auto kClasses = [] {
    std::array<uint8_t, 256> of{};
    for (int c = 0; c < 256; ++c) of[c] = class_of(c);
    return of;
}();
inline bool is(int c, uint8_t cls) { return (kClasses[c] & cls) != 0; }

enum class Kind : uint8_t { kNone, kDeclaration, kComment, kCdata, kUnknown, kElement };

// The text as LoadFile leaves it, whole in memory or read in chunks, and
// what the walk keeps of its parse.
struct Walk {
    XmlWalk out;
    size_t pos;         // b[pos, len) is not walked yet; b[len] is zero
    size_t len;
    uint64_t dropped;   // bytes of the text before b[0]
    bool end;           // no text after b[len]
    bool after_cr;      // the last byte read was a CR: a LF right behind it goes
    bool failed;        // a read failed
    bool over;          // a bound is passed
    int depth;          // open elements
    uint32_t used;      // arena bytes taken
    const unsigned char* b;
    unsigned char* chunk;  // a file's buffer, kChunk + kAhead + 1 bytes
    int fd;                // -1 for a text in memory, whose document's memory is counted
    uint64_t page;         // the allocator's page size
    uint32_t name_end[kXmlMaxDepth + 1];   // the d-th open element's name ends at name_end[d]
    uint32_t attr_at[kXmlMaxAttributes];   // the current element's attribute names,
    uint32_t attr_key[kXmlMaxAttributes];  // a key of each (holding the length)
    uint64_t attr_seen;                    // and a bit for each key
    char arena[kXmlMaxNameBytes];
};

// LoadFile's line ends in b[0, n): CR LF and a lone CR become LF, and a LF
// at b[0] goes when the bytes before ended in a CR. Returns the new length.
size_t line_ends(unsigned char* b, size_t n, bool after_cr) {
    size_t r = after_cr && n > 0 && b[0] == '\n' ? 1 : 0;
    size_t w = 0;
    if (r == 0) {
        const void* cr = std::memchr(b, '\r', n);
        if (cr == nullptr) return n;
        r = w = static_cast<size_t>(static_cast<const unsigned char*>(cr) - b);
    }
    while (r < n) {
        const unsigned char c = b[r++];
        b[w++] = c == '\r' ? '\n' : c;
        if (c == '\r' && r < n && b[r] == '\n') ++r;
    }
    return w;
}

// Reads on until `need` bytes follow pos; false when the text ends first.
bool fill(Walk* s, size_t need) {
    while (s->pos + need > s->len && !s->end) {
        const size_t keep = s->len - s->pos;
        std::memmove(s->chunk, s->chunk + s->pos, keep);
        s->dropped += s->pos;
        s->pos = 0;
        ssize_t got;
        do got = read(s->fd, s->chunk + keep, kChunk + kAhead - keep);
        while (got < 0 && errno == EINTR);
        unsigned char* in = s->chunk + keep;
        const size_t n = strnlen(reinterpret_cast<const char*>(in), got > 0 ? static_cast<size_t>(got) : 0);
        s->failed = got < 0;
        s->end = got <= 0 || n < static_cast<size_t>(got);
        const bool cr = n > 0 && in[n - 1] == '\r';
        s->len = keep + line_ends(in, n, s->after_cr);
        s->after_cr = cr;
        s->chunk[s->len] = 0;
    }
    return s->pos + need <= s->len;
}

// The byte k places ahead (k < kAhead); zero past the text's end.
inline int peek(Walk* s, size_t k = 0) { return s->pos + k < s->len || fill(s, k + 1) ? s->b[s->pos + k] : 0; }
inline void step(Walk* s, size_t n) {
    if (s->pos + n > s->len) fill(s, n);
    s->pos += n;
}
inline uint64_t offset(const Walk* s) { return s->dropped + s->pos; }

// Steps over bytes of class `cls`: the first other byte, zero at the end.
inline int skip(Walk* s, uint8_t cls) {
    for (;;) {
        size_t i = s->pos;
        if (i < s->len) {
            while (is(s->b[i], cls)) ++i;
            s->pos = i;
            if (i < s->len) return s->b[i];
        }
        if (!fill(s, 1)) return 0;
    }
}

// Steps to the next byte `c`; false at the text's end.
bool skip_to(Walk* s, int c) {
    for (;;) {
        const void* hit = s->pos < s->len ? std::memchr(s->b + s->pos, c, s->len - s->pos) : nullptr;
        if (hit != nullptr) {
            s->pos = static_cast<size_t>(static_cast<const unsigned char*>(hit) - s->b);
            return true;
        }
        if (s->pos < s->len) s->pos = s->len;
        if (!fill(s, 1)) return false;
    }
}

// StringEqual: `tag` stands here, exactly or (`any_case`, for a lower-case
// tag) in either ASCII case.
bool looking_at(Walk* s, const char* tag, bool any_case = false) {
    for (size_t k = 0; tag[k] != '\0'; ++k) {
        int c = peek(s, k);
        if (any_case && c >= 'A' && c <= 'Z') c += 'a' - 'A';
        if (c != static_cast<unsigned char>(tag[k])) return false;
    }
    return true;
}

// SkipWhiteSpace: white space and the byte-order marks EF BB BF, EF BF BE and
// EF BF BF. The byte it stops at, zero at the end.
inline int skip_space(Walk* s) {
    for (int c = skip(s, kSpace);; c = skip(s, kSpace)) {
        const int c1 = c == 0xEF ? peek(s, 1) : 0;
        const int c2 = c == 0xEF ? peek(s, 2) : 0;
        if (!((c1 == 0xBB && c2 == 0xBF) || (c1 == 0xBF && (c2 == 0xBE || c2 == 0xBF)))) return c;
        s->pos += 3;
    }
}

// GetEntity at "&". "&#" followed by anything is a character reference: it
// runs to the next ";" however far (strchr), and is taken when the bytes
// right before that ";" are digits back to a "#" (hex digits back to an "x",
// for "&#x"); the parse goes on behind the ";". The check backwards is made
// forwards: `ok` holds while every byte since the last mark is a digit. A
// named reference or a lone "&" is one step.
bool entity(Walk* s) {
    if (peek(s, 1) == '#' && peek(s, 2) != 0) {
        const bool hex = peek(s, 2) == 'x';
        if (hex && peek(s, 3) == 0) return false;
        step(s, hex ? 3 : 2);
        bool ok = true;
        for (int c = peek(s); c != ';'; ++s->pos, c = peek(s)) {
            if (c == 0) return false;
            const bool digit = (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
            ok = c == (hex ? 'x' : '#') || (ok && digit);
        }
        ++s->pos;
        return ok;
    }
    static const char* const kNamed[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    size_t n = 1;
    for (const char* e : kNamed)
        if (looking_at(s, e)) n = std::strlen(e);
    step(s, n);
    return true;
}

// ReadText's loop of GetChar up to a byte outside `cls` ("<" or the quote)
// or the text's end; false when GetEntity gives up. A multi-byte lead byte
// takes the bytes behind it unseen, whatever they are.
bool read_chars(Walk* s, uint8_t cls) {
    for (int c = skip(s, cls);; c = skip(s, cls)) {
        if (c == '&' && !entity(s)) return false;
        if (c != '&' && char_len(c) == 1) return true;
        if (c != '&') step(s, static_cast<size_t>(char_len(c)));
    }
}

// Node::Identify at a byte that is not white space.
Kind identify(Walk* s) {
    if (peek(s) != '<') return Kind::kNone;
    if (is(peek(s, 1), kNameStart)) return Kind::kElement;  // none of the tags below
    if (looking_at(s, "<?xml", true)) return Kind::kDeclaration;
    if (looking_at(s, "<!--")) return Kind::kComment;
    return looking_at(s, "<![CDATA[") ? Kind::kCdata : Kind::kUnknown;
}

// The C library's allocator (glibc): a size word in front of each block,
// blocks rounded up to the alignment and never smaller than four words.
// Requests from 128 KiB up (its first mmap threshold) get whole pages.
void add_block(Walk* w, uint64_t request) {
    if (w->fd >= 0) return;
    constexpr size_t kWord = sizeof(size_t);
    constexpr size_t kAlign = 2 * kWord > alignof(std::max_align_t) ? 2 * kWord : alignof(std::max_align_t);
    uint64_t size = (request + kWord + kAlign - 1) / kAlign * kAlign;
    if (request >= 128 * 1024) size = (request + 2 * kWord + w->page - 1) / w->page * w->page;
    w->out.shape.node_bytes += size < 4 * kWord ? 4 * kWord : size;
    if (w->out.shape.node_bytes > kXmlMaxNodeBytes) w->over = true;
}
void add_string(Walk* w, uint64_t chars) {
    if (w->fd >= 0 || chars == 0) return;
#ifdef TIXML_USE_STL
    // libstdc++ keeps up to 15 characters in the object itself; a longer
    // string grows by doubling its capacity, from 15.
    uint64_t capacity = 15;
    while (capacity < chars) capacity *= 2;
    if (chars > 15) add_block(w, capacity + 1);
#else
    // TinyXML's own string: a block of its own, two sizes and then the
    // characters, grown to the new length and the old capacity together.
    uint64_t capacity = 1;
    while (capacity < chars) capacity = 2 * capacity + 1;
    constexpr size_t kHead = (2 * sizeof(size_t) + 1 + alignof(size_t) - 1) / alignof(size_t) * alignof(size_t);
    add_block(w, (kHead + capacity + sizeof(int) - 1) / sizeof(int) * sizeof(int));
#endif
}

// ReadName from a name's first byte: its length. With `keep` the name goes
// into the arena at `used` (not yet taken); one that does not fit is past
// the bound.
size_t read_name(Walk* w, bool keep) {
    for (size_t n = 0;;) {
        size_t i = w->pos;
        for (char* to = w->arena + w->used + n; is(w->b[i], kName); ++i) {
            if (!keep) continue;
            if (to == w->arena + kXmlMaxNameBytes) return !(w->over = true);
            *to++ = static_cast<char>(w->b[i]);
        }
        n += i - w->pos;
        w->pos = i;
        if (i < w->len || !fill(w, 1)) return n;
    }
}

// Attribute::Parse at a name's first byte: the name, "=", a value in quotes
// (ReadText) or without (up to white space, "/" or ">"; a quote in it
// fails), and something behind. The lengths of the name and the value go to
// the caller, the name into the arena with `keep`.
bool attribute(Walk* w, bool keep, size_t* name_len, uint64_t* value_len) {
    *value_len = 0;
    *name_len = read_name(w, keep);
    // The usual form first, in one run over the bytes read: ="value" or
    // ='value' of one-byte characters, and a byte behind.
    const unsigned char* b = w->b;
    const int quote = w->pos + 1 < w->len && b[w->pos] == '=' ? b[w->pos + 1] : 0;
    size_t k = w->pos + 2;
    while ((quote == '"' && is(b[k], kDquote)) || (quote == '\'' && is(b[k], kSquote))) ++k;
    if ((quote == '"' || quote == '\'') && k + 1 < w->len && b[k] == quote && !w->over) {
        *value_len = k - w->pos - 2;
        w->pos = k + 1;
        return true;
    }
    if (w->over || skip_space(w) != '=') return false;
    ++w->pos;
    const int open = skip_space(w);
    const bool quoted = open == '"' || open == '\'';
    w->pos += quoted ? 1 : 0;
    const uint64_t start = offset(w);
    const bool read = !quoted || read_chars(w, open == '"' ? kDquote : kSquote);
    const int c = quoted ? peek(w) : skip(w, kBare);
    *value_len = offset(w) - start;
    if (!read || c == 0 || (!quoted && (c == '"' || c == '\''))) return false;
    w->pos += quoted ? 1 : 0;
    return peek(w) != 0;
}

// Declaration::Parse at "<?xml": up to a ">" outside its version, encoding
// and standalone values (the values are kept); false at the text's end.
bool declaration(Walk* w) {
    add_block(w, sizeof(TiXmlDeclaration));
    step(w, 5);
    for (int c = peek(w); c != 0; c = peek(w)) {
        if (c == '>') {
            step(w, 1);
            return true;
        }
        size_t name_len;
        uint64_t value_len;
        if (skip_space(w) == 0) return false;
        if (looking_at(w, "version", true) || looking_at(w, "encoding", true) || looking_at(w, "standalone", true)) {
            const bool ok = attribute(w, false, &name_len, &value_len);
            add_string(w, value_len);
            if (!ok) return false;
        } else {
            skip(w, kWord);
        }
    }
    return false;
}

// The parse of a node that is no element, at its "<": false when it gives up
// (only a declaration or CDATA does). Comment::Parse reads up to "-->" or the
// end, Text::Parse for CDATA up to "]]>" (which must not end the text),
// Unknown::Parse up to ">" or the end, all byte by byte.
bool leaf(Walk* w, Kind kind) {
    if (kind == Kind::kDeclaration) return declaration(w);
    const bool comment = kind == Kind::kComment;
    const bool cdata = kind == Kind::kCdata;
    const char* tail = comment ? "-->" : cdata ? "]]>" : ">";
    add_block(w, comment ? sizeof(TiXmlComment) : cdata ? sizeof(TiXmlText) : sizeof(TiXmlUnknown));
    step(w, comment ? 4 : cdata ? 9 : 1);
    const uint64_t start = offset(w);
    while (skip_to(w, tail[0]) && !looking_at(w, tail)) step(w, 1);
    add_string(w, offset(w) - start);
    const bool closed = peek(w) != 0;
    if (closed) step(w, std::strlen(tail));
    return !cdata || (closed && peek(w) != 0);
}

// Element::Parse at "<" up to the end of its start tag: the name, then
// attributes up to "/>" (*open false) or ">" (*open true). A repeated
// attribute name fails; a key of each name (its length, first and last
// bytes) and a bit for each key tell when names must be compared.
bool start_tag(Walk* w, bool* open) {
    XmlShape* shape = &w->out.shape;
    if (++w->depth > shape->depth) shape->depth = w->depth;
    if (w->depth > kXmlMaxDepth) return !(w->over = true);
    add_block(w, sizeof(TiXmlElement));
    step(w, 1);
    if (!is(skip_space(w), kNameStart)) return false;
    const char* name = w->arena + w->used;
    const size_t n = read_name(w, true);
    if (w->over) return false;
    w->name_end[w->depth] = w->used += static_cast<uint32_t>(n);
    if (w->depth == 2 && n == 7 && std::memcmp(name, "station", 7) == 0) ++w->out.stations;
    add_string(w, n);
    if (w->over || peek(w) == 0) return false;
    w->attr_seen = 0;
    for (int attributes = 0;; ++attributes) {
        const int c = skip_space(w);
        if (c == 0 || (c == '/' && peek(w, 1) != '>')) return false;
        if (c == '/' || c == '>') {
            step(w, c == '/' ? 2 : 1);
            *open = c == '>';
            w->used = w->name_end[w->depth];
            return true;
        }
        if (attributes + 1 > shape->attributes) shape->attributes = attributes + 1;
        if (attributes == kXmlMaxAttributes) return !(w->over = true);
        add_block(w, sizeof(TiXmlAttribute));
        const char* a = w->arena + w->used;
        size_t len = 0;
        uint64_t value_len = 0;
        const bool ok = is(c, kNameStart) && attribute(w, true, &len, &value_len);
        add_string(w, len);
        add_string(w, value_len);
        if (!ok || w->over) return false;
        const uint32_t key = static_cast<uint32_t>(len << 16 | static_cast<unsigned char>(a[0]) << 8) |
                             static_cast<unsigned char>(a[len - 1]);
        const uint64_t bit = uint64_t{1} << ((key * 0x9E3779B1u) >> 26);
        for (int i = 0; (w->attr_seen & bit) != 0 && i < attributes; ++i)
            if (w->attr_key[i] == key && std::memcmp(w->arena + w->attr_at[i], a, len) == 0) return false;
        w->attr_seen |= bit;
        w->attr_at[attributes] = w->used;
        w->attr_key[attributes] = key;
        w->used += static_cast<uint32_t>(len);
    }
}

// Element::Parse's end tag: "</", the innermost open element's name, white
// space, ">".
bool end_tag(Walk* w) {
    step(w, 2);
    const char* name = w->arena + w->name_end[w->depth - 1];
    const size_t n = w->name_end[w->depth] - w->name_end[w->depth - 1];
    for (size_t k = 0, m = 0; k < n; k += m, w->pos += m) {
        if (w->pos >= w->len && !fill(w, 1)) return false;
        m = n - k < w->len - w->pos ? n - k : w->len - w->pos;
        if (std::memcmp(w->b + w->pos, name + k, m) != 0) return false;
    }
    if (skip_space(w) != '>') return false;
    step(w, 1);
    return true;
}

// A top-level element and everything in it: Element::Parse and the loop of
// ReadValue, whose recursion keeps the open elements in the walk.
bool element(Walk* w) {
    bool open = false;
    if (!start_tag(w, &open)) return false;
    for (;;) {
        if (w->over) return false;
        if (!open) w->used = w->name_end[--w->depth];
        if (w->depth == 0) return true;
        open = true;
        // One round of ReadValue in the innermost open element.
        const int c = skip_space(w);
        if (c == 0) return false;  // no end tag
        if (c != '<') {
            // Text::Parse: ReadText up to a "<" that must not end the text.
            add_block(w, sizeof(TiXmlText));
            const uint64_t start = offset(w);
            const bool read = read_chars(w, kText);
            add_string(w, offset(w) - start);
            if (!read || peek(w) == 0 || peek(w, 1) == 0) return false;
        } else if (peek(w, 1) == '/') {
            if (!end_tag(w)) return false;
            open = false;
        } else {
            const Kind kind = identify(w);
            if (kind == Kind::kElement ? !start_tag(w, &open) : !leaf(w, kind)) return false;
        }
    }
}

// Document::Parse: top-level nodes up to the end, a give-up, or a byte
// other than "<" where a node should start; empty without a node.
XmlVerdict document(Walk* w) {
    bool any = false;
    while (!w->over && skip_space(w) != 0) {
        const Kind kind = identify(w);
        if (kind == Kind::kNone) break;
        any = true;
        if (kind == Kind::kElement && !element(w)) return w->over ? XmlVerdict::kPastBound : XmlVerdict::kFails;
        if (kind != Kind::kElement && !leaf(w, kind)) break;  // a declaration or CDATA: no error
    }
    if (w->over) return XmlVerdict::kPastBound;
    return any && !w->failed ? XmlVerdict::kLoads : XmlVerdict::kFails;
}

XmlWalk walk(const char* text, size_t length, int fd) {
    Walk* w = static_cast<Walk*>(std::malloc(sizeof(Walk) + (fd >= 0 ? kChunk + kAhead + 1 : 0)));
    if (w == nullptr) return XmlWalk{XmlVerdict::kPastBound, 0, {0, 0, 0}};
    std::memset(static_cast<void*>(w), 0, offsetof(Walk, b));
    const long page = sysconf(_SC_PAGESIZE);
    w->chunk = reinterpret_cast<unsigned char*>(w + 1);
    w->b = fd >= 0 ? w->chunk : reinterpret_cast<const unsigned char*>(text);
    w->len = length;
    w->end = fd < 0;
    w->fd = fd;
    w->page = page > 0 ? static_cast<uint64_t>(page) : 4096;
    w->name_end[0] = 0;
    w->out.verdict = document(w);
    const XmlWalk out = w->out;
    std::free(w);
    return out;
}

}  // namespace

size_t xml_prepare_text(char* text, size_t length) {
    return line_ends(reinterpret_cast<unsigned char*>(text), strnlen(text, length), false);
}

XmlWalk xml_walk_text(const char* text, size_t length) { return walk(text, strnlen(text, length), -1); }

XmlWalk xml_walk_file(int fd) { return walk(nullptr, 0, fd); }

bool count_total_stations(int dir, const char* name, int32_t* count) {
    const int fd = open_regular(dir, name);
    if (fd < 0) return false;
    const XmlWalk w = xml_walk_file(fd);
    close(fd);
    if (w.verdict == XmlVerdict::kLoads) *count = w.stations;
    return w.verdict == XmlVerdict::kLoads;
}
