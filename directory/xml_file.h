// Loading a cached directory page for TinyXML, within the bounds of
// platform/limits.h.
#pragma once

#include "directory/xml_walk.h"

class TiXmlDocument;

// Loads the file at `path` into the fresh `doc` as TiXmlDocument::LoadFile
// does in UTF-8 mode (xml_prepare_text), but from a buffer with zeros behind
// the text: a file that ends inside a multi-byte character made LoadFile
// read on past its buffer. TinyXML gets the text only when the file is at
// most kXmlMaxFileSize bytes and xml_walk_text finds its parse within the
// other bounds. true when it loaded without error; `shape`, when given, gets
// what the walk found (all zero when it did not run).
bool load_xml_file(TiXmlDocument* doc, const char* path, XmlShape* shape = nullptr);
