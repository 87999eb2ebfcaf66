// Loading a cached XML file (a directory page or a total file) for TinyXML.
#pragma once

class TiXmlDocument;

// Loads the file at `path` into the fresh `doc` as TiXmlDocument::LoadFile
// does in UTF-8 mode (CR LF and lone CR made LF, the text up to its first
// zero byte parsed), but from a buffer whose every byte behind the text is
// zero. TinyXML steps over the bytes that follow a multi-byte lead byte
// without looking at them, so a file that ends inside such a character (or
// before a zero byte) made LoadFile parse on past the end of its buffer.
// true when the file was read and parsed without error; false when it is
// missing, empty, unreadable or not loadable.
bool load_xml_file(TiXmlDocument* doc, const char* path);
