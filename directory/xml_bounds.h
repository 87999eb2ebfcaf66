// What TinyXML would build from a text, found before it builds anything.
//
// TinyXML's parser recurses once per nested element, compares every new
// attribute with all the earlier ones of its element, and keeps every node in
// memory; the directory's XML comes over plain HTTP, so its shape is anyone's
// choice. xml_within_bounds follows the parse TinyXML would make of the text
// (UTF-8 mode, as load_xml_file hands it over) byte for byte, without
// recursion and without allocating, and tells whether it stays within the
// limits of platform/limits.h.
#pragma once

#include <cstddef>
#include <cstdint>

// The parse as far as it was followed.
struct XmlShape {
    int depth;            // most elements open at once
    int attributes;       // most attributes read for one element
    uint64_t node_bytes;  // heap of the nodes created, with their strings
};

// Follows TinyXML's parse of `text`: its bytes up to the first zero byte or
// `length`, whichever comes first (bytes past that are taken as zero, as in
// load_xml_file's buffer). Stops where TinyXML would stop, by success or by
// failure. Time linear in the text.
// 1 when that parse stays within kXmlMaxDepth nested elements,
// kXmlMaxAttributes attributes on each element and kXmlMaxNodeBytes of nodes;
// 0 as soon as it would pass one of them. *shape holds the figures up to the
// point where the walk stopped.
int xml_within_bounds(const char* text, size_t length, XmlShape* shape);
