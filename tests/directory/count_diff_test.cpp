// The walk (xml_walk.h) against TinyXML itself, for both its uses. On every
// input: the station count of a total file is TinyXML's own answer for the
// same bytes as LoadFile prepares them (loadable or not, and the count),
// unless the walk is past a bound, which TinyXML's document then passes too
// or fails before; and for a page the walk passes, TinyXML's document stays
// within the bounds and the walk's shape covers it. Inputs: the test data and
// fuzz files, hand-made cases, every cut of a listing, steps across the
// chunks of a file read, seeded random edits of a listing, and big totals.
#include <fcntl.h>
#include <unistd.h>

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
#include "platform/limits.h"
#include "xml_tree.h"

namespace {

const char kDir[] = "/tmp/count_diff";
const std::string kPath = std::string(kDir) + "/PageTotal.xml";

// Writes the content as a total file and checks both uses of the walk on it.
// Returns TinyXML's answer: the count, or -1 when it does not load.
int32_t agree(const std::string& content, const std::string& label = "") {
    SCOPED_TRACE(label + " input: " + testing::PrintToString(content.substr(0, 400)));
    std::filesystem::create_directories(kDir);
    std::ofstream(kPath, std::ios::binary | std::ios::trunc) << content;
    const std::string text = xml_tree::loadfile_text(content);
    TiXmlDocument doc;
    const int32_t want = xml_tree::stations(text, &doc);
    const xml_tree::Measure built = xml_tree::measure(doc);
    const bool past = built.depth > kXmlMaxDepth || built.attributes > kXmlMaxAttributes || built.names > kXmlMaxNameBytes;

    // The total file, read in chunks.
    const int fd = open(kPath.c_str(), O_RDONLY);
    const XmlWalk file = xml_walk_file(fd);
    close(fd);
    if (file.verdict == XmlVerdict::kPastBound) {
        EXPECT_TRUE(past || want < 0) << "past a bound that TinyXML's document does not pass";
    } else {
        EXPECT_FALSE(past) << "TinyXML's document passes a bound the walk did not see";
        EXPECT_EQ(file.verdict == XmlVerdict::kLoads ? file.stations : -1, want);
    }

    // The same text as a page, in memory, where the document's memory is
    // bounded too: the same answer unless past that bound; within the
    // bounds, the shape found covers the document TinyXML built (the same
    // nesting, the attributes kept or one more, the one that failed; no less
    // heap than a fresh heap would give it).
    const XmlWalk page = xml_walk_text(text.data(), text.size());
    if (page.verdict == XmlVerdict::kPastBound) {
        EXPECT_TRUE(file.verdict == XmlVerdict::kPastBound || page.shape.node_bytes > kXmlMaxNodeBytes);
        return want;
    }
    EXPECT_EQ(page.verdict, file.verdict);
    EXPECT_TRUE(page.verdict != XmlVerdict::kLoads || page.stations == file.stations);
    EXPECT_EQ(page.shape.depth, built.depth);
    EXPECT_GE(page.shape.attributes, built.attributes);
    EXPECT_LE(page.shape.attributes, built.attributes + 1);
    EXPECT_GE(page.shape.node_bytes + built.slack, built.bytes);
    return want;
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

// A listing with a bit of every node, reference and character TinyXML reads.
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

// Counts known by hand, so that the two sides cannot agree by both failing.
TEST(CountDiff, KnownCounts) {
    EXPECT_EQ(agree(listing(45)), 45);
    EXPECT_EQ(agree(rich_listing()), 6);
}

// Totals of any size and form are counted, none loaded whole: a DOCTYPE and
// a bare "&" in 1.2 MB, and a processing instruction before the end tag of
// 50,000 stations (6 MB).
TEST(CountDiff, BigTotalsOfAnyForm) {
    std::string doctype = "<!DOCTYPE stationlist>\n" + listing(6000);
    doctype.insert(doctype.find("Station 1\""), "Tom & Jerry ");
    EXPECT_EQ(agree(doctype), 6000);
    std::string big = kDecl + "<stationlist>\n" + kTunein;
    for (int i = 0; i < 50000; ++i)
        big += "<station name=\"Radio " + std::to_string(i) + "\" mt=\"audio/mpeg\" id=\"" + std::to_string(1000 + i) +
               "\" br=\"128\" genre=\"Pop\" ct=\"Artist - Track\" lc=\"" + std::to_string(i % 5000) + "\"/>\n";
    EXPECT_EQ(agree(big + "<?pi x?></stationlist>\n"), 50000);
}

// The names kept at once (the open elements' and the current element's
// attribute names) are bounded: up to the bound a total is counted, one byte
// more is past it, and so is a single longer name.
TEST(CountDiff, NamesUpToTheirBound) {
    const size_t root = kXmlMaxNameBytes - std::strlen("station") - std::strlen("ab");
    int32_t n = -1;
    for (size_t r : {root, root + 1}) {
        EXPECT_EQ(agree("<" + std::string(r, 'r') + "><station ab='1'/></" + std::string(r, 'r') + ">"), 1);
        EXPECT_EQ(count_total_stations(AT_FDCWD, kPath.c_str(), &n), r == root) << r;
    }
    EXPECT_EQ(agree("<a " + std::string(kXmlMaxNameBytes + 1, 'n') + "='1'><station/></a>"), 1);
    EXPECT_FALSE(count_total_stations(AT_FDCWD, kPath.c_str(), &n));
}

TEST(CountDiff, MissingAndUnreadableFiles) {
    std::filesystem::create_directories(kDir);
    for (const char* path : {"/tmp/count_diff/no such file", kDir}) {
        int32_t n = -1;
        EXPECT_FALSE(count_total_stations(AT_FDCWD, path, &n)) << path;
        EXPECT_EQ(n, -1);
    }
}

TEST(CountDiff, EveryCutOfAListing) {
    const std::string full = rich_listing();
    for (size_t cut = 0; cut <= full.size(); ++cut) agree(full.substr(0, cut), "cut " + std::to_string(cut));
}

// Steps that straddle the end of a read (64 KiB and a little): references,
// characters of several bytes, CR LF, byte-order marks, end tags and names
// cut there, and references that run over a whole chunk.
TEST(CountDiff, ChunkBoundaries) {
    const std::vector<std::string> tails = {
        "<station name=\"&#x263A;&amp;\"/>", "<station name=\"\xF0\x9F\x8E\xB5\xE4\xB8\xAD\"/>",
        "<station\r\nid='1'/>\r\n", "\xEF\xBB\xBF<station/>", "<station></station >", "<!-- c --><station/>",
        "<![CDATA[ x ]]><station/>", "<station name='\xE4\"/><station/>'/>", "\xE4\r\n<station/>",
        "<" + std::string(3000, 'n') + "/>",
        "<station name=\"&#x" + std::string(70000, '<') + "x;\"/>",
        "<station name=\"&#" + std::string(70000, '1') + "x;\"/>",
    };
    for (const std::string& tail : tails)
        for (size_t shift = 0; shift < 48; ++shift) {
            std::string s = "<stationlist>" + std::string(65536 - 13 - 24 + shift, ' ');
            agree(s + tail + tail + "</stationlist>", "shift " + std::to_string(shift));
        }
    EXPECT_EQ(agree(listing(3000)), 3000);
}

// Seeded random edits of a listing: tokens inserted, bytes dropped, copied
// and changed.
TEST(CountDiff, RandomEdits) {
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
        loaded += agree(s, "round " + std::to_string(round)) >= 0;
        if (HasFailure()) break;
    }
    std::printf("random edits: %d of %d loaded\n", loaded, rounds);
}

TEST(CountDiff, DataAndCorpusFiles) {
    for (const char* sub : {"tests/data", "fuzz/corpus", "fuzz/regressions"})
        for (const auto& e : std::filesystem::recursive_directory_iterator(std::filesystem::path(RADIODIR_SOURCE_DIR) / sub))
            if (e.is_regular_file()) {
                std::ifstream in(e.path(), std::ios::binary);
                agree(std::string(std::istreambuf_iterator<char>(in), {}), e.path().string());
            }
}

}  // namespace
