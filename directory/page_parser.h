// A cached directory page, loaded by TinyXML within the bounds of
// platform/limits.h, into the station rows and genre lists of a page record.
#pragma once

#include "directory/xml_walk.h"
#include "platform/storage_root.h"
#include "records/station_page.h"

class TiXmlDocument;

// Loads the file `name` in the directory `dir` (AT_FDCWD: a path) into the
// fresh `doc` as TiXmlDocument::LoadFile
// does in UTF-8 mode (xml_prepare_text), but from a buffer with zeros behind
// the text: a file that ends inside a multi-byte character made LoadFile
// read on past its buffer. TinyXML gets the text only when the file is at
// most kXmlMaxFileSize bytes and xml_walk_text finds its parse within the
// other bounds. True when it loaded without error; `shape`, when given, gets
// what the walk found (all zero when it did not run).
bool load_xml_file(TiXmlDocument* doc, int dir, const char* name, XmlShape* shape = nullptr);

// Sets genreprefix and the two lists of 19 genres; returns 19.
int fill_genre_lists(StationPage* page);
// True when the XML page was loaded and walked, false when it could not be
// loaded (stationtotal then stays 0). The caller clears the page first.
bool parse_homepage(StationPage* page, const RootFile& file, const char* devKey);
