// The walk that follows TinyXML 2.6.2's parse of a text without building
// anything, the one place in the program that knows TinyXML's grammar and
// LoadFile's text rules (CR LF and a lone CR as one LF, the text up to its
// first zero byte, zeros behind it, over which a multi-byte character at its
// end steps). It tells whether TinyXML would load a text, the "station"
// children of its top-level nodes (a total file's count), and whether the
// parse stays within the bounds of platform/limits.h (a page's, before
// TinyXML gets it). It does not recurse and allocates nothing per node: the
// names it keeps (the open elements', for their end tags, and the current
// element's attribute names, for TinyXML's check for a repeated one) share
// one arena of kXmlMaxNameBytes. A text whose names do not fit is past a
// bound, like one nested deeper than kXmlMaxDepth or with more than
// kXmlMaxAttributes attributes on one element.
#pragma once

#include <cstddef>
#include <cstdint>

enum class XmlVerdict : uint8_t {
    kLoads,      // TinyXML loads it without error
    kFails,      // TinyXML fails, or finds no node
    kPastBound,  // the parse passes a bound before it ends
};

// The parse as far as it was followed.
struct XmlShape {
    int depth;            // most elements open at once
    int attributes;       // most attributes read for one element
    uint64_t node_bytes;  // heap of TinyXML's nodes and strings (walks in memory only)
};

struct XmlWalk {
    XmlVerdict verdict;
    int32_t stations;  // "station" children of top-level nodes, when it loads
    XmlShape shape;
};

// LoadFile's preparation in place: the text up to its first zero byte, with
// its line ends made LF. Returns its new length; the bytes behind are kept.
size_t xml_prepare_text(char* text, size_t length);
// Walks a prepared text in memory, its bytes up to `length` or a zero byte;
// text[length] must be readable and zero. Its document's memory is counted; past
// kXmlMaxNodeBytes is past a bound.
XmlWalk xml_walk_text(const char* text, size_t length);
// Walks a file from `fd` as LoadFile prepares it, read in fixed chunks: any
// size, its document's memory neither counted nor bounded.
XmlWalk xml_walk_file(int fd);

// The station count of the total file `name` in the directory `dir`: true
// with *count set only when the file is a regular one reached without a link
// (open_regular) and TinyXML loads it within the bounds; *count is left
// alone otherwise.
bool count_total_stations(int dir, const char* name, int32_t* count);
