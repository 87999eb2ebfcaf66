// TinyXML's own answers, for the tests and fuzz targets that hold the walk
// (directory/xml_walk.h) against them: the document TinyXML builds from a
// file's bytes as LoadFile prepares them, its station count, and what the
// document really holds, measured on the document itself:
// its element nesting, the most attributes of one element, the most name
// bytes the walk keeps at once (an element's own and its ancestors' names
// and its attribute names), and the heap its nodes and their strings take as
// the allocator reports it. Kept even when the parse failed: TinyXML keeps
// every node it built.
//
// A block reused from freed memory may be up to two words bigger than asked
// for (the allocator does not split off less than a minimal block), so a
// document can hold up to `slack` bytes more than a fresh heap would give it.
#pragma once

#include <malloc.h>
#include <tinyxml.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace xml_tree {

struct Measure {
    int depth;
    int attributes;
    uint64_t names;
    uint64_t bytes;
    uint64_t slack;
};

// A block as the allocator holds it: what it lets the caller use, and the
// size word in front.
inline uint64_t block_of(const void* p, Measure* m) {
    m->slack += 2 * sizeof(size_t);
    return malloc_usable_size(const_cast<void*>(p)) + sizeof(size_t);
}

// A string's block, if it has one of its own.
inline uint64_t string_of(const void* owner, size_t owner_size, const char* chars, Measure* m) {
#ifdef TIXML_USE_STL
    // std::string: no block when the characters are kept inside the owner.
    const char* o = static_cast<const char*>(owner);
    return chars >= o && chars < o + owner_size ? 0 : block_of(chars, m);
#else
    // TinyXML's own string: no block when it is the shared empty one; else
    // the characters stand behind two sizes at the start of its block.
    (void)owner;
    (void)owner_size;
    static const TiXmlString empty;
    return chars == empty.c_str() ? 0 : block_of(chars - 2 * sizeof(size_t), m);
#endif
}

inline void add_children(const TiXmlNode* parent, int depth, uint64_t path_names, Measure* m) {
    for (const TiXmlNode* n = parent->FirstChild(); n != nullptr; n = n->NextSibling()) {
        m->bytes += block_of(n, m);
        m->bytes += string_of(n, malloc_usable_size(const_cast<TiXmlNode*>(n)), n->Value(), m);
        if (const TiXmlDeclaration* d = n->ToDeclaration()) {
            m->bytes += string_of(d, sizeof *d, d->Version(), m) + string_of(d, sizeof *d, d->Encoding(), m) +
                        string_of(d, sizeof *d, d->Standalone(), m);
        }
        if (const TiXmlElement* e = n->ToElement()) {
            if (depth + 1 > m->depth) m->depth = depth + 1;
            int attributes = 0;
            const uint64_t path = path_names + std::strlen(e->Value());
            uint64_t names = path;
            for (const TiXmlAttribute* a = e->FirstAttribute(); a != nullptr; a = a->Next()) {
                ++attributes;
                names += std::strlen(a->Name());
                m->bytes += block_of(a, m) + string_of(a, sizeof *a, a->Name(), m) + string_of(a, sizeof *a, a->Value(), m);
            }
            if (attributes > m->attributes) m->attributes = attributes;
            if (names > m->names) m->names = names;
            add_children(n, depth + 1, path, m);
        }
    }
}

// LoadFile's text, made here on its own: up to the first zero byte, CR LF
// and a lone CR as LF.
inline std::string loadfile_text(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        text += bytes[i] == '\r' ? '\n' : bytes[i];
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    return text;
}

// Parses the text, with zeros behind it, into the fresh `doc`; -1 when
// TinyXML fails, else the "station" children of its top-level nodes.
inline int32_t stations(const std::string& text, TiXmlDocument* doc) {
    const std::string padded = text + std::string(16, '\0');
    doc->Parse(padded.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (doc->Error()) return -1;
    int32_t n = 0;
    for (const TiXmlNode* top = doc->FirstChild(); top != nullptr; top = top->NextSibling())
        for (const TiXmlNode* c = top->FirstChild(); c != nullptr; c = c->NextSibling())
            if (c->Type() == TiXmlNode::TINYXML_ELEMENT && std::strcmp(c->Value(), "station") == 0) ++n;
    return n;
}

inline Measure measure(const TiXmlDocument& doc) {
    Measure m = {0, 0, 0, 0, 0};
    add_children(&doc, 0, 0, &m);
    return m;
}

}  // namespace xml_tree
