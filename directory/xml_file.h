// Loading a cached XML file (a directory page or a total file) for TinyXML.
#pragma once

struct XmlShape;
class TiXmlDocument;

// Loads the file at `path` into the fresh `doc` as TiXmlDocument::LoadFile
// does in UTF-8 mode (CR LF and lone CR made LF, the text up to its first
// zero byte parsed), but from a buffer whose every byte behind the text is
// zero. TinyXML steps over the bytes that follow a multi-byte lead byte
// without looking at them, so a file that ends inside such a character (or
// before a zero byte) made LoadFile parse on past the end of its buffer.
// TinyXML gets the text only when it is at most kXmlMaxFileSize bytes and
// its parse stays within the other bounds of platform/limits.h
// (xml_within_bounds); otherwise the document is left empty.
// true when the file was read and parsed without error; false when it is
// missing, empty, unreadable, past a bound or not loadable. `shape`, when
// given, gets what the bounds check found (all zero when it did not run).
bool load_xml_file(TiXmlDocument* doc, const char* path, XmlShape* shape = nullptr);
