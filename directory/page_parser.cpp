#include "directory/page_parser.h"

#include <unistd.h>

#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "directory/service.h"
#include "platform/limits.h"
#include "platform/safe_files.h"
#include "platform/text.h"
#include "platform/utf8.h"
#include "platform/whole_file.h"

namespace {

// Zeros behind the text: TinyXML's longest step over a character is four
// bytes, so wherever a step from inside the text lands, it reads zero.
constexpr size_t kPadding = 16;

constexpr const char* kGenreNames[kGenres] = {
    "Anime", "Blues", "Classical", "Comedy", "Dance", "Disco",       "Folk",
    "Heavy Metal", "Hip Hop", "Jazz", "Kids", "News", "Political", "Pop",
    "Rap", "Rock & Roll", "Soul", "Talk", "Top 40",
};

// A value from the XML into a field: cut on a character boundary, and with
// every control byte but tab (line ends, escape sequences, DEL) made a
// blank, so that it stays on one line of the page file and reaches the
// interface's text as plain text.
template <size_t N>
void store_value(char (&field)[N], const char* value) {
    utf8_copy_field(field, value, N);
    for (char& c : field) {
        const auto b = static_cast<unsigned char>(c);
        if ((b != 0 && b < 0x20 && b != '\t') || b == 0x7F) c = ' ';
    }
}

void fill_station(StationEntry* row, uint16_t position, const TiXmlElement* station, const char* base,
                  const char* devKey) {
    for (const TiXmlAttribute* a = station->FirstAttribute(); a != nullptr; a = a->Next()) {
        row->index = static_cast<uint16_t>(position + 1);
        row->used = 1;
        const char* name = a->Name();
        const char* value = a->Value();
        if (std::strcmp(name, "id") == 0) {
            // The id is encoded like every value of a URL: whatever the page
            // says, it stays one query value.
            char id[3 * kUrlSize];
            percent_encode(id, sizeof id, value);
            char path[1024];
            if (devKey != nullptr) {
                char key[3 * kUrlSize];
                percent_encode(key, sizeof key, devKey);
                format_text(path, sizeof path, "%s?id=%s&k=%s", base, id, key);
            } else {
                format_text(path, sizeof path, "%s?id=%s", base, id);
            }
            store_value(row->tuneinpath, path);
        } else if (std::strcmp(name, "genre") == 0) {
            store_value(row->genre, value);
        } else if (std::strcmp(name, "name") == 0) {
            store_value(row->name, value);
        } else if (std::strcmp(name, "lc") == 0) {
            row->lc = atoi_u16(value);
        } else if (std::strcmp(name, "br") == 0) {
            row->br = atoi_u16(value);
        } else if (std::strcmp(name, "mt") == 0) {
            store_value(row->mt, value);
            if (char* slash = std::strchr(row->mt, '/'))
                std::memset(slash, 0, sizeof row->mt - static_cast<size_t>(slash - row->mt));
        }
    }
}

}  // namespace

bool load_xml_file(TiXmlDocument* doc, int dir, const char* name, XmlShape* shape) {
    if (shape != nullptr) *shape = XmlShape{0, 0, 0};
    const int fd = open_regular(dir, name);
    if (fd < 0) return false;
    size_t got = 0;
    char* buf = read_whole(fd, kXmlMaxFileSize, kPadding, &got);
    close(fd);
    bool loaded = false;
    if (buf != nullptr && got > 0) {
        const size_t length = xml_prepare_text(buf, got);
        std::memset(buf + length, 0, got - length);
        const XmlWalk walk = xml_walk_text(buf, length);
        if (shape != nullptr) *shape = walk.shape;
        if (walk.verdict != XmlVerdict::kPastBound) {
            doc->Parse(buf, nullptr, TIXML_ENCODING_UTF8);
            loaded = !doc->Error();
        }
    }
    std::free(buf);
    return loaded;
}

int fill_genre_lists(StationPage* page) {
    copy_text(page->genreprefix, "sgenre=", sizeof page->genreprefix);
    for (int i = 0; i < kGenres; ++i) copy_text(page->genrename[i], kGenreNames[i], sizeof page->genrename[i]);
    for (int i = 0; i < kGenres; ++i) copy_text(page->genrevalue[i], kGenreNames[i], sizeof page->genrevalue[i]);
    return kGenres;
}

bool parse_homepage(StationPage* page, const RootFile& file, const char* devKey) {
    std::printf("parse_homepage::%s\n", file.path);
    fill_genre_lists(page);

    TiXmlDocument doc(file.path);
    if (!load_xml_file(&doc, file.root->fd, file.name)) {
        std::printf("Can't open the file:%s\n", file.path);
        return false;
    }
    char base[61] = {};
    uint16_t rows = 0;
    for (const TiXmlNode* top = doc.FirstChild(); top != nullptr; top = top->NextSibling()) {
        for (const TiXmlNode* c = top->FirstChild(); c != nullptr; c = c->NextSibling()) {
            if (c->Type() != TiXmlNode::TINYXML_ELEMENT) continue;
            const TiXmlElement* e = c->ToElement();
            if (std::strcmp(e->Value(), "tunein") == 0) {
                const TiXmlAttribute* first = e->FirstAttribute();
                // Only a path on the directory's own host: a base such as
                // "@evil.example/x.pls" would send the playlist request,
                // developer key and all, to another host. Any other base is
                // ignored, as a missing one is.
                if (first != nullptr && std::strcmp(first->Name(), "base") == 0 && first->Value()[0] == '/')
                    store_value(base, first->Value());
            } else if (std::strcmp(e->Value(), "station") == 0) {
                if (rows >= kPageStations) break;
                fill_station(&page->stations[rows], rows, e, base, devKey);
                ++rows;
            }
        }
    }
    page->stationtotal = rows;
    return true;
}
