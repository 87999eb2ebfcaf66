// The walk that follows TinyXML 2.6.2's parse of a text without building
// anything: the one place in the program that knows TinyXML's grammar and
// LoadFile's text rules. It tells whether TinyXML would load the text, how
// many "station" elements are children of a top-level node (a total file's
// count), and whether the parse stays within the bounds of platform/limits.h
// (a page before TinyXML gets it).
//
// The text is taken as LoadFile leaves it: CR LF and a lone CR become one
// LF, the text ends at its first zero byte, and every byte past its end
// reads as zero (the program's buffers have zeros behind the text, so a
// multi-byte lead byte at the end steps over zeros only). The walk does not
// recurse and allocates nothing per node: the open elements' names, for
// their end tags, and the current element's attribute names, for TinyXML's
// check for a repeated one, share one arena of kXmlMaxNameBytes. A text
// whose names do not fit is past a bound, like one nested deeper than
// kXmlMaxDepth or with more than kXmlMaxAttributes attributes on an element.
#pragma once

#include <cstddef>
#include <cstdint>

enum class XmlVerdict : uint8_t {
    kLoads,      // TinyXML loads it without error
    kFails,      // TinyXML's parse fails, or the document is empty
    kPastBound,  // the parse passes a bound before it ends
};

// The parse as far as it was followed.
struct XmlShape {
    int depth;            // most elements open at once
    int attributes;       // most attributes read for one element
    uint64_t node_bytes;  // heap of TinyXML's nodes and their strings (texts only)
};

struct XmlWalk {
    XmlVerdict verdict;
    int32_t stations;  // "station" children of top-level nodes; kLoads only
    XmlShape shape;
};

// LoadFile's preparation, in place: the text up to its first zero byte with
// its line ends made LF. Returns the text's new length; the bytes behind it
// are left as they were.
size_t xml_prepare_text(char* text, size_t length);

// Walks a prepared text in memory (its bytes up to `length` or a zero byte),
// counting TinyXML's document memory: past kXmlMaxNodeBytes is past a bound.
XmlWalk xml_walk_text(const char* text, size_t length);

// Walks a file from `fd` as LoadFile would prepare it, read in fixed chunks:
// any size, node memory not counted (shape.node_bytes stays 0).
XmlWalk xml_walk_file(int fd);

// The station count of a total file: true with *count set only when the
// file is a regular one reached without a link (open_regular) and TinyXML
// would load it within the bounds; *count is untouched otherwise.
bool count_total_stations(const char* path, int32_t* count);
