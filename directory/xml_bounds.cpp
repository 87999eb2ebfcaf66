// The walk follows TinyXML 2.6.2's parser as the program loads with it
// (UTF-8 mode, white space condensed; std::string or, in the device's
// build, TinyXML's own strings), function by function: Document::Parse,
// Node::Identify, Element::Parse and ReadValue, Attribute::Parse (quoted and
// unquoted values), Text::Parse (CDATA too), Comment, Unknown, Declaration,
// and below them ReadName, ReadText, GetChar, GetEntity and SkipWhiteSpace.
// A position is an index into the text; kStop stands for the null pointer
// with which TinyXML's functions give up. Every failure of TinyXML ends the
// whole parse, so the walk ends there too.
//
// Memory is counted as TinyXML allocates it: each node at its sizeof, each
// string that outgrows the std::string's inline room at the capacity it has
// grown to, each block with the allocator's overhead. Where a string's length
// is not known without decoding it (entities, condensed white space), the
// bytes of the text it comes from are counted, which are never fewer.
#include "directory/xml_bounds.h"

#include <unistd.h>

#include <tinyxml.h>

#include <cstddef>
#include <cstring>

#include "directory/xml_chars.h"
#include "platform/limits.h"

namespace {

constexpr size_t kStop = static_cast<size_t>(-1);

// libstdc++'s std::string keeps up to 15 characters in the object itself;
// a longer one grows by doubling its capacity, from 15, one character or
// one decoded character (at most 4 bytes) at a time. (TinyXML's own string,
// without STL, is counted below.)
constexpr size_t kInlineChars = 15;

// The C library's allocator (glibc): a size word in front of each block,
// blocks rounded up to the alignment and never smaller than four words.
// Requests from 128 KiB up (its first mmap threshold) get whole pages.
constexpr size_t kWord = sizeof(size_t);
constexpr size_t kAlign = 2 * kWord > alignof(std::max_align_t) ? 2 * kWord : alignof(std::max_align_t);
constexpr size_t kMmapFrom = 128 * 1024;

enum Kind { kNone, kDeclaration, kComment, kCdata, kUnknown, kElement };

struct Walk {
    const unsigned char* text;
    size_t length;  // up to the first zero byte
    uint64_t page;
    XmlShape* shape;
    bool over;  // a bound is passed
    // The open elements' names, for their end tags.
    size_t name_at[kXmlMaxDepth];
    size_t name_len[kXmlMaxDepth];
    // The current element's attribute names, for TinyXML's duplicate check.
    size_t attr_at[kXmlMaxAttributes];
    size_t attr_len[kXmlMaxAttributes];
};

// The byte at i; zero from the text's end on, as in the buffer behind it.
inline int at(const Walk* w, size_t i) { return i < w->length ? w->text[i] : 0; }

using xml_chars::is_digit;
using xml_chars::is_hex;
using xml_chars::is_name_char;
using xml_chars::is_name_start;
using xml_chars::is_space;

// StringEqual: `tag` stands at i, exactly or (for "<?xml" and the
// declaration's attribute names) without regard to ASCII case.
bool looking_at(const Walk* w, size_t i, const char* tag) {
    for (; *tag != '\0'; ++tag, ++i)
        if (at(w, i) != static_cast<unsigned char>(*tag)) return false;
    return true;
}
bool looking_at_ci(const Walk* w, size_t i, const char* tag) {
    for (; *tag != '\0'; ++tag, ++i) {
        int c = at(w, i);
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        if (c != static_cast<unsigned char>(*tag)) return false;
    }
    return true;
}

uint64_t block(const Walk* w, uint64_t request) {
    if (request >= kMmapFrom) return (request + 2 * kWord + w->page - 1) / w->page * w->page;
    const uint64_t size = (request + kWord + kAlign - 1) / kAlign * kAlign;
    return size < 4 * kWord ? 4 * kWord : size;
}

uint64_t string_heap(const Walk* w, size_t chars) {
#ifdef TIXML_USE_STL
    if (chars <= kInlineChars) return 0;
    uint64_t capacity = kInlineChars;
    while (capacity < chars) capacity *= 2;
    return block(w, capacity + 1);
#else
    // TinyXML's own string (the device's build): every string of one
    // character or more has a block of its own, two sizes and then the
    // characters, grown by appending to the new length and the old
    // capacity together.
    if (chars == 0) return 0;
    uint64_t capacity = 1;
    while (capacity < chars) capacity = 2 * capacity + 1;
    constexpr size_t kHead = (2 * sizeof(size_t) + 1 + alignof(size_t) - 1) / alignof(size_t) * alignof(size_t);
    return block(w, (kHead + capacity + sizeof(int) - 1) / sizeof(int) * sizeof(int));
#endif
}

void add(Walk* w, uint64_t bytes) {
    w->shape->node_bytes += bytes;
    if (w->shape->node_bytes > kXmlMaxNodeBytes) w->over = true;
}

// SkipWhiteSpace: kStop when called at the end; else past white space and
// the byte-order marks EF BB BF, EF BF BE and EF BF BF.
size_t skip_space(const Walk* w, size_t i) {
    if (i == kStop || at(w, i) == 0) return kStop;
    for (;;) {
        const int c = at(w, i);
        if (c == 0xEF) {
            const int c1 = at(w, i + 1);
            const int c2 = at(w, i + 2);
            if ((c1 == 0xBB && c2 == 0xBF) || (c1 == 0xBF && (c2 == 0xBE || c2 == 0xBF))) {
                i += 3;
                continue;
            }
            return i;
        }
        if (!is_space(c)) return i;
        ++i;
    }
}

// GetEntity at an "&". A "&#" reference runs to the next ";" wherever that
// is, and is taken when the bytes right before that ";" are digits after a
// "#" (hex digits after an "x"); the parse then goes on behind the ";",
// over whatever lay between. Any other reference fails the parse. Each ";"
// is searched for once: the walk either goes on behind it or ends.
size_t entity(const Walk* w, size_t i) {
    if (at(w, i + 1) == '#' && at(w, i + 2) != 0) {
        const bool hex = at(w, i + 2) == 'x';
        if (hex && at(w, i + 3) == 0) return kStop;
        const size_t from = hex ? i + 3 : i + 2;
        const void* semi = std::memchr(w->text + from, ';', w->length - from);
        if (semi == nullptr) return kStop;
        const size_t q = static_cast<size_t>(static_cast<const unsigned char*>(semi) - w->text);
        const int mark = hex ? 'x' : '#';
        // The mark at i + 1 or i + 2 ends this at the latest.
        for (size_t r = q - 1; at(w, r) != mark; --r)
            if (!(hex ? is_hex(at(w, r)) : is_digit(at(w, r)))) return kStop;
        return q + 1;
    }
    static const char* const kNamed[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    for (const char* e : kNamed)
        if (looking_at(w, i, e)) return i + std::strlen(e);
    return i + 1;  // a lone "&": dropped
}

// GetChar at a byte that is not zero: a reference, or one character of as
// many bytes as its first byte tells, the others stepped over unseen.
size_t next_char(const Walk* w, size_t i) {
    const int c = at(w, i);
    if (c == '&') return entity(w, i);
    return i + static_cast<size_t>(xml_chars::char_len(static_cast<unsigned char>(c)));
}

// ReadText with every white space kept, up to a quote: an attribute value.
// Behind the quote, past it; kStop when nothing follows it. *end: where the
// value stopped.
size_t quoted_value(const Walk* w, size_t i, int quote, size_t* end) {
    while (at(w, i) != 0 && at(w, i) != quote) {
        i = next_char(w, i);
        if (i == kStop) {
            *end = w->length;
            return kStop;
        }
    }
    *end = i;
    if (at(w, i) == 0 || at(w, i + 1) == 0) return kStop;
    return i + 1;
}

// TiXmlAttribute::Parse, after white space: name, "=", a quoted or unquoted
// value. The name's and the value's extent go to the caller.
size_t attribute(const Walk* w, size_t i, size_t* name_at, size_t* name_len, size_t* value_len) {
    *name_at = i;
    *name_len = 0;
    *value_len = 0;
    if (!is_name_start(at(w, i))) return kStop;
    while (is_name_char(at(w, i))) ++i;
    *name_len = i - *name_at;
    if (at(w, i) == 0) return kStop;
    i = skip_space(w, i);
    if (at(w, i) != '=') return kStop;
    i = skip_space(w, i + 1);
    if (i == kStop || at(w, i) == 0) return kStop;
    const int open = at(w, i);
    if (open == '"' || open == '\'') {
        size_t end = 0;
        const size_t next = quoted_value(w, i + 1, open, &end);
        *value_len = end - (i + 1);
        return next;
    }
    // Unquoted: up to white space, "/" or ">"; a quote in it fails.
    const size_t start = i;
    for (int c = at(w, i); c != 0 && !is_space(c) && c != '/' && c != '>'; c = at(w, ++i))
        if (c == '"' || c == '\'') {
            *value_len = i - start;
            return kStop;
        }
    *value_len = i - start;
    return i;
}

// TiXmlText::Parse outside CDATA, at a byte that is neither white space nor
// "<": ReadText with white space condensed, up to a "<". Returns the "<",
// or kStop when it is missing or the last byte.
size_t text_node(const Walk* w, size_t i, size_t* end) {
    for (int c = at(w, i); c != 0 && c != '<'; c = at(w, i)) {
        if (is_space(c)) {
            ++i;
            continue;
        }
        i = next_char(w, i);
        if (i == kStop) {
            *end = w->length;
            return kStop;
        }
    }
    *end = i;
    if (at(w, i) == 0 || at(w, i + 1) == 0) return kStop;
    return i;
}

// TiXmlDeclaration::Parse at "<?xml": to the next ">" outside its
// version, encoding and standalone values.
size_t declaration(Walk* w, size_t i) {
    i += 5;
    while (at(w, i) != 0) {
        if (at(w, i) == '>') return i + 1;
        i = skip_space(w, i);
        if (at(w, i) == 0) break;
        if (looking_at_ci(w, i, "version") || looking_at_ci(w, i, "encoding") || looking_at_ci(w, i, "standalone")) {
            size_t name_at, name_len, value_len;
            i = attribute(w, i, &name_at, &name_len, &value_len);
            add(w, string_heap(w, value_len));  // the value, kept in the node
            if (i == kStop) return kStop;
        } else {
            while (at(w, i) != 0 && at(w, i) != '>' && !is_space(at(w, i))) ++i;
        }
    }
    return kStop;
}

// Node::Identify at a byte that is not white space.
Kind identify(const Walk* w, size_t i) {
    if (at(w, i) != '<') return kNone;
    if (looking_at_ci(w, i, "<?xml")) return kDeclaration;
    if (looking_at(w, i, "<!--")) return kComment;
    if (looking_at(w, i, "<![CDATA[")) return kCdata;
    if (looking_at(w, i, "<!")) return kUnknown;
    return is_name_start(at(w, i + 1)) ? kElement : kUnknown;
}

// Parse of every node but an element, with what it costs.
size_t leaf(Walk* w, Kind kind, size_t i) {
    size_t start = i;
    switch (kind) {
        case kDeclaration:
            add(w, block(w, sizeof(TiXmlDeclaration)));
            return declaration(w, i);
        case kComment:
            // Up to "-->", byte by byte; the end of the text ends it too.
            add(w, block(w, sizeof(TiXmlComment)));
            i += 4;
            start = i;
            while (at(w, i) != 0 && !looking_at(w, i, "-->")) ++i;
            add(w, string_heap(w, i - start));
            return at(w, i) != 0 ? i + 3 : i;
        case kCdata:
            // Up to "]]>", byte by byte, which must not be the text's end.
            add(w, block(w, sizeof(TiXmlText)));
            i += 9;
            start = i;
            while (at(w, i) != 0 && !looking_at(w, i, "]]>")) ++i;
            add(w, string_heap(w, i - start));
            if (at(w, i) == 0 || at(w, i + 3) == 0) return kStop;
            return i + 3;
        case kUnknown:
            // Up to ">"; the end of the text ends it too.
            add(w, block(w, sizeof(TiXmlUnknown)));
            ++i;
            start = i;
            while (at(w, i) != 0 && at(w, i) != '>') ++i;
            add(w, string_heap(w, i - start));
            return at(w, i) == '>' ? i + 1 : i;
        case kNone:
        case kElement:
            break;
    }
    return kStop;
}

// An element and everything in it, from the "<" of its start tag to behind
// its end tag: TinyXML's recursion of Element::Parse and ReadValue, with
// the open elements kept in the walk instead of on the stack.
size_t element(Walk* w, size_t i) {
    int depth = 0;
    enum { kStartTag, kContent, kClosed } step = kStartTag;
    for (;;) {
        if (step == kStartTag) {
            // Element::Parse at "<": the name, then attributes up to "/>" or ">".
            if (depth == kXmlMaxDepth) {
                w->shape->depth = depth + 1;
                w->over = true;
                return kStop;
            }
            ++depth;
            if (depth > w->shape->depth) w->shape->depth = depth;
            add(w, block(w, sizeof(TiXmlElement)));
            i = skip_space(w, i + 1);
            const size_t name = i;
            if (!is_name_start(at(w, i))) return kStop;
            while (is_name_char(at(w, i))) ++i;
            w->name_at[depth - 1] = name;
            w->name_len[depth - 1] = i - name;
            // The name. (The end tag "</name" made from it lives only while
            // the element is read: at most one per open element.)
            add(w, string_heap(w, i - name));
            if (w->over || at(w, i) == 0) return kStop;
            int attributes = 0;
            for (;;) {
                i = skip_space(w, i);
                const int c = at(w, i);
                if (c == 0) return kStop;
                if (c == '/') {
                    if (at(w, i + 1) != '>') return kStop;
                    i += 2;
                    step = kClosed;
                    break;
                }
                if (c == '>') {
                    i = skip_space(w, i + 1);
                    if (i == kStop) return kStop;
                    step = kContent;
                    break;
                }
                if (attributes == kXmlMaxAttributes) {
                    w->shape->attributes = attributes + 1;
                    w->over = true;
                    return kStop;
                }
                ++attributes;
                if (attributes > w->shape->attributes) w->shape->attributes = attributes;
                add(w, block(w, sizeof(TiXmlAttribute)));
                size_t name_at, name_len, value_len;
                i = attribute(w, i, &name_at, &name_len, &value_len);
                add(w, string_heap(w, name_len) + string_heap(w, value_len));
                if (w->over || i == kStop || at(w, i) == 0) return kStop;
                for (int k = 0; k < attributes - 1; ++k)
                    if (w->attr_len[k] == name_len && std::memcmp(w->text + w->attr_at[k], w->text + name_at, name_len) == 0)
                        return kStop;  // a repeated name fails
                w->attr_at[attributes - 1] = name_at;
                w->attr_len[attributes - 1] = name_len;
            }
            continue;
        }
        if (step == kClosed) {
            --depth;
            if (depth == 0) return i;
            // Back in the parent's ReadValue, behind the child.
            i = skip_space(w, i);
            if (i == kStop) return kStop;
            step = kContent;
            continue;
        }
        // One round of ReadValue, at a byte that is not white space.
        const int c = at(w, i);
        if (c == 0) return kStop;  // the end tag is missing
        if (c != '<') {
            add(w, block(w, sizeof(TiXmlText)));
            size_t end = i;
            const size_t start = i;
            i = text_node(w, i, &end);
            add(w, string_heap(w, end - start));
            if (w->over || i == kStop) return kStop;
        } else if (at(w, i + 1) == '/') {
            // The end tag: "</" and this element's name, white space, ">".
            const size_t name = w->name_at[depth - 1];
            const size_t len = w->name_len[depth - 1];
            for (size_t k = 0; k < len; ++k)
                if (at(w, i + 2 + k) != w->text[name + k]) return kStop;
            i = skip_space(w, i + 2 + len);
            if (at(w, i) != '>') return kStop;  // also for kStop: at() of it is zero
            ++i;
            step = kClosed;
            continue;
        } else {
            const Kind kind = identify(w, i);
            if (kind == kElement) {
                step = kStartTag;
                continue;
            }
            i = leaf(w, kind, i);
            if (w->over) return kStop;
        }
        i = skip_space(w, i);
        if (i == kStop) return kStop;
    }
}

}  // namespace

int xml_within_bounds(const char* text, size_t length, XmlShape* shape) {
    *shape = XmlShape{0, 0, 0};
    Walk walk;  // a few KiB
    Walk* w = &walk;
    w->text = reinterpret_cast<const unsigned char*>(text);
    const void* zero = std::memchr(text, 0, length);
    w->length = zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - text) : length;
    const long page = sysconf(_SC_PAGESIZE);
    w->page = page > 0 ? static_cast<uint64_t>(page) : 4096;
    w->shape = shape;
    w->over = false;

    // Document::Parse: top-level nodes until the end, a failure, or a byte
    // other than "<" where a node should start.
    size_t i = skip_space(w, 0);
    while (i != kStop && at(w, i) != 0 && !w->over) {
        const Kind kind = identify(w, i);
        if (kind == kNone) break;
        i = kind == kElement ? element(w, i) : leaf(w, kind, i);
        i = skip_space(w, i);
    }
    return w->over ? 0 : 1;
}
