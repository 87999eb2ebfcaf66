// The station count of a total file against TinyXML's own answer: the
// document loaded whole and its top-level nodes' children walked. On every
// input the two agree, failures included. Inputs: the test data and fuzz
// corpus files, hand-made listings, every cut of a listing, and thousands of
// seeded random edits of one. The scanner's own verdict is checked too, so
// that listings keep taking the fast road. On every input, too, the bounds
// check in front of TinyXML sees no less of the parse than TinyXML builds.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "directory/xml_walk.h"
#include "directory/xml_bounds.h"
#include "directory/xml_file.h"
#include "platform/limits.h"
#include "xml_tree.h"

namespace {

const char kDir[] = "/tmp/count_diff";
const std::string kPath = std::string(kDir) + "/PageTotal.xml";

struct Answer {
    int loaded;
    int32_t count;
    bool operator==(const Answer& o) const { return loaded == o.loaded && (loaded == 0 || count == o.count); }
};

std::ostream& operator<<(std::ostream& os, const Answer& a) {
    return a.loaded ? os << "loaded, " << a.count << " stations" : os << "not loaded";
}

// The reference: TinyXML's document, walked. Loaded as the program loads its
// XML files: LoadFile's own reading, with zero bytes behind the text.
Answer reference(const std::string& path) {
    TiXmlDocument doc(path.c_str());
    if (!load_xml_file(&doc, path.c_str())) return {0, -1};
    int32_t n = 0;
    for (const TiXmlNode* top = doc.FirstChild(); top != nullptr; top = top->NextSibling())
        for (const TiXmlNode* c = top->FirstChild(); c != nullptr; c = c->NextSibling())
            if (c->Type() == TiXmlNode::TINYXML_ELEMENT && std::strcmp(c->Value(), "station") == 0) ++n;
    return {1, n};
}

Answer counted(const std::string& path) {
    int32_t n = -1;
    const int ok = count_total_stations(path.c_str(), &n);
    if (!ok) {
        EXPECT_EQ(n, -1) << "count set for a file that did not load";
    }
    return {ok, n};
}

void put(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good());
}

std::string shown(const std::string& s) {
    std::string out;
    for (unsigned char c : s.substr(0, 400)) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return s.size() > 400 ? out + "...(" + std::to_string(s.size()) + " bytes)" : out;
}

// What the bounds check found of TinyXML's parse against the document
// TinyXML built (kept when the parse fails): the same nesting, the
// attributes kept or one more (the one that failed), and no less heap than
// a fresh heap would give it.
void check_covers_parse(const std::string& label, const std::string& content) {
    XmlShape shape;
    TiXmlDocument doc(kPath.c_str());
    load_xml_file(&doc, kPath.c_str(), &shape);
    if (shape.depth > kXmlMaxDepth || shape.attributes > kXmlMaxAttributes || shape.node_bytes > kXmlMaxNodeBytes)
        return;  // TinyXML never saw it
    const xml_tree::Measure built = xml_tree::measure(doc);
    EXPECT_EQ(shape.depth, built.depth) << label << " input: " << shown(content);
    EXPECT_GE(shape.attributes, built.attributes) << label << " input: " << shown(content);
    EXPECT_LE(shape.attributes, built.attributes + 1) << label << " input: " << shown(content);
    EXPECT_GE(shape.node_bytes + built.slack, built.bytes) << label << " input: " << shown(content);
}

// Writes the content and compares; returns whether the scanner alone
// decided (1), left it to TinyXML (0).
int agree(const std::string& content, const std::string& label = "") {
    put(kPath, content);
    check_covers_parse(label, content);
    const Answer want = reference(kPath);
    EXPECT_EQ(counted(kPath), want) << label << " input: " << shown(content);
    int32_t n = -1;
    const int scanned = scan_total_stations(kPath.c_str(), &n);
    if (scanned) {
        EXPECT_EQ((Answer{1, n}), want) << label << " scanner alone, input: " << shown(content);
    }
    return scanned;
}

std::string station(int id, const std::string& name = "") {
    return "<station name=\"" + (name.empty() ? "Station " + std::to_string(id) : name) +
           "\" mt=\"audio/mpeg\" id=\"" + std::to_string(id) + "\" br=\"128\" genre=\"Pop Rock\" ct=\"Now playing " +
           std::to_string(id) + "\" lc=\"" + std::to_string(id * 3) + "\" logo=\"http://i.example/" +
           std::to_string(id) + ".png\"/>\n";
}

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const std::string kTunein = "<tunein base=\"/sbin/tunein-station.pls\" base-m3u=\"/sbin/tunein-station.m3u\" "
                            "base-xspf=\"/sbin/tunein-station.xspf\"/>\n";

std::string listing(int stations) {
    std::string s = kDecl + "<stationlist>\n" + kTunein;
    for (int i = 1; i <= stations; ++i) s += station(i);
    return s + "</stationlist>\n";
}

// A listing with a bit of everything the scanner follows.
std::string rich_listing() {
    return "\xEF\xBB\xBF" + kDecl + "<!-- generated -->\n<stationlist>\n" + kTunein +
           "<station name=\"A &amp; B &#x263A; &#233; &#;\" id=\"1\" br='64' ct=\"it's &quot;on&quot;\"/>\r\n"
           "<station name=\"caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x8E\xB5\" id=\"2\"></station>\n"
           "<!-- a <station/> in a comment -->\n"
           "<station id=\"3\">text &lt; more <![CDATA[<station/> ]] ]]> <nested><station id=\"x\"/></nested></station>\n"
           "<other><station/></other>\n"
           "<station\n  id = \"4\"\n  name='R&B'\n/>\n"
           "<station id=\"5\" name=\"stray & amp\"/><station id=\"6\" name=\"&nbsp;\"/>\n"
           "</stationlist>\n<!-- end -->\n";
}

TEST(CountDiff, HandMadeInputs) {
    std::filesystem::create_directories(kDir);
    const std::vector<std::string> cases = {
        // Well-formed shapes.
        listing(0), listing(1), listing(20), listing(45),
        "<stationlist/>", "<stationlist></stationlist>", "<station/>", "<a><station/><station></station></a>",
        "<a><b><station/></b></a>", "<a><Station/><stations/><station-x/><x:station/></a>",
        "<a>\n\t<station/>\n</a>\n\n", "<a><station/></a >", "<a ><station  /></a>",
        // Text, comments, CDATA, entities in many places.
        "<a>x<station/>y<station/>z</a>", "<a><!----><station/><!-- - -- ---></a>",
        "<a><![CDATA[]]><station/></a>", "<a><![CDATA[<station/>]]></a>", "<a>&amp;&lt;&gt;&quot;&apos;<station/></a>",
        "<a>&#65;&#x41;&#x;&#;<station/></a>", "<a b=\"&#65;&#x4a;\"><station/></a>",
        // What real listings carry: stray "&", unknown entities, invalid UTF-8, control bytes.
        "<a><station name=\"Tom & Jerry\"/></a>", "<a><station name=\"&nbsp;&copy;\"/></a>",
        "<a><station name=\"\xFF\xFE\x80 \xC0\xAF\"/></a>", "<a><station name=\"\x01\x02\x1B\x7F\"/></a>",
        "<a><station name=\"\xC3\"/></a>", "<a><station name=\"\xE4\xB8\"/><station/></a>",
        "<a><station name=\"x\xE4\"/><station/></a>", "<a>\xE4<station/><station/></a>",
        "<a><station name=\"\xF0\"/>\"/><station/></a>",
        // Character references not in their plain form.
        "<a b=\"&#X41;\"><station/></a>", "<a b=\"&#x4g;\"><station/></a>", "<a b=\"&#12\"><station/></a>;",
        "<a b=\"&#x12x34;\"><station/></a>", "<a b=\"&#", "<a>&#x", "<a b='&#1;&#00000000000000000000000000000000000001;'/>",
        // Declarations and byte-order marks.
        "<?xml version=\"1.0\"?><a><station/></a>", "<?xml version='1.0' encoding='ISO-8859-1'?><a><station/></a>",
        "<?xml?><a><station/></a>", "<?XML version=\"1.0\"?><a><station/></a>", "<?xml-stylesheet href='x'?><a/>",
        "<?xml version=\"1>0\"?><a><station/></a>", "<?xml version=1?><a><station/></a>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"", "<?xml version=\"1.0\"encoding=\"UTF-8\"?><a/>",
        "\xEF\xBB\xBF<a><station/></a>", "\xEF\xBB\xBF\xEF\xBB\xBF<a><station/></a>",
        "<a>\xEF\xBB\xBF<station/></a>", "<\xEF\xBB\xBF" "a><station/></a>", "<a \xEF\xBF\xBE b='1'><station/></a>",
        "\xFF\xFE<\0a\0/\0>\0", std::string("<a><station/></a>\0<station/>", 27), std::string("\0<a/>", 5),
        // Processing instructions, DOCTYPE, unknown nodes.
        "<?pi data?><a><station/></a>", "<a><?pi data?><station/></a>", "<!DOCTYPE a><a><station/></a>",
        "<!DOCTYPE a [<!ENTITY e 'x'>]><a><station/>&e;</a>",
        "<!DOCTYPE a [<!ENTITY a0 'lol'><!ENTITY a1 '&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;'>"
        "<!ENTITY a2 '&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;'><!ENTITY a3 '&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;'>]>"
        "<a><station name='&a3;'/></a>",
        "<!DOCTYPE a SYSTEM \"file:///etc/passwd\"><a>&xxe;<station/></a>", "<a><!ELEMENT x><station/></a>",
        "<a><:b/><station/></a>", "<:a><station/></:a>", "<a :b='1'><station/></a>", "<a><1/><station/></a>",
        // Structure faults.
        "", " ", "\n\n", "x", "text<a/>", "<a>", "<a><station/>", "<a></b>", "<a><station></a>",
        "<a><station/></a><b><station/><station/></b>", "<a/><a/>", "<a><station/></a>trailing <station/> text",
        "<a><station/></a><", "<a/>&", "<a b='1' b='2'><station/></a>", "<a b=1><station/></a>",
        "<a b=\"1\"c=\"2\"><station/></a>", "<a b=\"1><station/></a>", "<a b><station/></a>", "<a/ >",
        "< a><station/></a>", "<a><station/></ a>", "<a><station/></a\n>", "<a><station/></abc>",
        "<abc><station/></a>", "<a><station/><!-- unterminated", "<a><station/></a><!-- unterminated",
        "<a><![CDATA[ unterminated", "<a><station/><![CDATA[x]]>", "<a>x", "<a>x<", "<a b='x'",
        "<a>\v<station/>\f</a>", "\v<a><station/></a>", "<a>]]><station/></a>", "<a>><station/></a>",
        "<a>\r\n<station\r\nid='1'\r/>\r</a>\r", "<a><station name='\r\n\r'/></a>",
        "<_a><_b/><station/></_a>", "<a.b-c:d><station/></a.b-c:d>", "<\xC3\xA9><station/></\xC3\xA9>",
        "<\x7F><station/></\x7F>", "<a\xFF\xFE><station/></a\xFF\xFE>",
    };
    for (size_t i = 0; i < cases.size(); ++i) agree(cases[i], "case " + std::to_string(i));
}

TEST(CountDiff, ListingsTakeTheScanner) {
    std::filesystem::create_directories(kDir);
    EXPECT_EQ(agree(listing(0)), 1);
    EXPECT_EQ(agree(listing(45)), 1);
    EXPECT_EQ(agree(rich_listing()), 1);
    put(kPath, rich_listing());
    int32_t n = -1;
    ASSERT_EQ(count_total_stations(kPath.c_str(), &n), 1);
    EXPECT_EQ(n, 6);
    // Bytes a strict XML parser refuses, which TinyXML loads.
    EXPECT_EQ(agree("<a><station name=\"Tom & Jerry &nbsp; \xFF\x01\"/></a>"), 1);
    // Text after the root and further top-level elements.
    EXPECT_EQ(agree("<a><station/></a>junk<b/>"), 1);
    EXPECT_EQ(agree("<a><station/></a><b><station/></b>"), 1);
    // What it does not follow goes to TinyXML.
    EXPECT_EQ(agree("<!DOCTYPE a><a><station/></a>"), 0);
    EXPECT_EQ(agree("<a><?pi?><station/></a>"), 0);
    // It follows up to the nesting and attributes that TinyXML may load;
    // past them, neither loads the file.
    auto nested = [](int depth) {
        std::string s = "<stationlist><station/>";
        for (int i = 1; i < depth; ++i) s += "<a>";
        for (int i = 1; i < depth; ++i) s += "</a>";
        return s + "</stationlist>";
    };
    EXPECT_EQ(agree(nested(kXmlMaxDepth)), 1);
    EXPECT_EQ(agree(nested(kXmlMaxDepth + 1)), 0);
    EXPECT_EQ(counted(kPath).loaded, 0);
    std::string attributes;  // names of 32 bytes each
    for (int i = 100; i < 100 + kXmlMaxAttributes; ++i) attributes += " " + std::string(29, 'a') + std::to_string(i) + "='1'";
    EXPECT_EQ(agree("<a><station" + attributes + "/></a>"), 1);
    EXPECT_EQ(agree("<a><station" + attributes + " b='2'/></a>"), 0);
    EXPECT_EQ(counted(kPath).loaded, 0);
}

TEST(CountDiff, MissingAndUnreadableFiles) {
    std::filesystem::create_directories(kDir);
    EXPECT_EQ(counted("/tmp/count_diff/no such file"), reference("/tmp/count_diff/no such file"));
    EXPECT_EQ(counted(kDir), reference(kDir));  // a directory
    EXPECT_EQ(counted(kDir).loaded, 0);
}

TEST(CountDiff, EveryCutOfAListing) {
    std::filesystem::create_directories(kDir);
    const std::string full = rich_listing();
    for (size_t cut = 0; cut <= full.size(); ++cut) agree(full.substr(0, cut), "cut " + std::to_string(cut));
}

// Steps that straddle the 64 KiB chunks: references, characters of several
// bytes, CR LF, byte-order marks and end tags cut by a chunk's end.
TEST(CountDiff, ChunkBoundaries) {
    std::filesystem::create_directories(kDir);
    const std::vector<std::string> tails = {
        "<station name=\"&#x263A;&amp;\"/>", "<station name=\"\xF0\x9F\x8E\xB5\xE4\xB8\xAD\"/>",
        "<station\r\nid='1'/>\r\n", "\xEF\xBB\xBF<station/>", "<station></station >", "<!-- c --><station/>",
        "<![CDATA[ x ]]><station/>", "<station name='\xE4\"/><station/>'/>",
    };
    for (const std::string& tail : tails)
        for (size_t shift = 0; shift < 24; ++shift) {
            std::string s = "<stationlist>" + std::string(65536 - 13 - 12 + shift, ' ');
            s += tail + tail + "</stationlist>";
            EXPECT_EQ(agree(s, "shift " + std::to_string(shift)), 1) << shown(tail);
        }
    // A big listing, many chunks.
    EXPECT_EQ(agree(listing(3000)), 1);
}

// Seeded random edits of a listing: tokens inserted, bytes dropped, copied
// and changed.
TEST(CountDiff, RandomEdits) {
    std::filesystem::create_directories(kDir);
    const std::vector<std::string> tokens = {
        "<", ">", "/", "/>", "</", "&", "&amp;", "&#x41;", "&#65;", "&#x;", "&#X41;", "&bogus;", "&#", ";", "=",
        "\"", "'", " ", "\n", "\r", "\r\n", "\t", "\v", "<!--", "-->", "<![CDATA[", "]]>", "<?xml version='1.0'?>",
        "<?pi x?>", "<!DOCTYPE r>", "<!DOCTYPE r [<!ENTITY e 'x'>]>", "<station/>", "<station>", "</station>",
        "<station id='9'/>", "<:a/>", " :a='1'", " b='2'", "\xEF\xBB\xBF", "\xEF\xBF\xBE", "\xFF", "\xC3\xA9", "\xC3",
        "\xE4\xB8", "\xF0\x9F\x8E", "\x01", std::string(1, '\0'), "<a>", "</a>", "<stationlist>", "</stationlist>",
        "encoding='ISO-8859-1'", "?>", "<!", "x", "station",
    };
    const std::string base = rich_listing();
    std::mt19937 rng(20240611);
    int loaded = 0;
    int scanned = 0;
    const int rounds = 6000;
    for (int round = 0; round < rounds; ++round) {
        std::string s = base;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % (s.size() + 1);
            switch (rng() % 5) {
                case 0:
                case 1: s.insert(at, tokens[rng() % tokens.size()]); break;
                case 2: s.erase(at, 1 + rng() % 8); break;
                case 3: s[at % s.size()] = static_cast<char>(rng() % 256); break;
                default: {
                    const size_t from = rng() % s.size();
                    s.insert(at, s.substr(from, 1 + rng() % 40));
                }
            }
        }
        const int by_scanner = agree(s, "round " + std::to_string(round));
        if (reference(kPath).loaded) {
            ++loaded;
            scanned += by_scanner;
        }
        if (HasFailure()) break;
    }
    std::printf("random edits: %d of %d loaded, %d of them by the scanner alone\n", loaded, rounds, scanned);
    // Most loadable edits keep the scanner on its own road.
    EXPECT_GT(scanned, loaded / 2);
}

// Every regular file under `dir`, recursively.
std::vector<std::filesystem::path> files_under(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return out;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec)) out.push_back(it->path());
    return out;
}

TEST(CountDiff, DataAndCorpusFiles) {
    std::filesystem::create_directories(kDir);
    size_t n = 0;
    for (const char* sub : {"tests/data", "fuzz/corpus"})
        for (const auto& file : files_under(std::filesystem::path(RADIODIR_SOURCE_DIR) / sub)) {
            if (std::filesystem::file_size(file) > (64u << 20)) continue;
            std::ifstream in(file, std::ios::binary);
            const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            agree(content, file.string());
            ++n;
        }
    RecordProperty("files", static_cast<int>(n));
}

}  // namespace
