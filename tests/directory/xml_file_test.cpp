// The page loader: the document TinyXML's own LoadFile builds for every file
// that ends cleanly, a parse that never runs past the file's end for one that
// ends inside a multi-byte character (found by fuzz/fuzz_total), and the
// exact edges of the bounds, for a page and for a total file's count.
#include "dir_test_util.h"
#include "directory/page_parser.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "directory/page_parser.h"
#include "directory/xml_walk.h"
#include "platform/limits.h"
#include "records/station_page.h"
#include "xml_tree.h"

namespace {

const char kPath[] = "/tmp/xml_file_test.xml";

void put(const std::string& bytes) {
    std::ofstream out(kPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
}

// The document as TinyXML prints it, or "<not loaded>".
std::string printed(bool loaded, const TiXmlDocument& doc) {
    if (!loaded) return "<not loaded>";
    TiXmlPrinter printer;
    doc.Accept(&printer);
    return printer.CStr();
}

std::string with_loader(const std::string& bytes) {
    put(bytes);
    TiXmlDocument doc(kPath);
    const bool ok = load_xml_file(&doc, AT_FDCWD, kPath);
    return printed(ok, doc);
}

std::string with_tinyxml(const std::string& bytes) {
    put(bytes);
    TiXmlDocument doc(kPath);
    const bool ok = doc.LoadFile(TIXML_ENCODING_UTF8);
    return printed(ok, doc);
}

TEST(XmlFile, SameDocumentAsLoadFileForFilesThatEndCleanly) {
    const std::string cases[] = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<stationlist><tunein base=\"/sbin/tunein-station.pls\"/>"
        "<station name=\"Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac\" id=\"7\" br=\"128\"/></stationlist>\n",
        "\xef\xbb\xbf<a><station name=\"BOM first\"/></a>",
        // Line ends inside values and between nodes: CR LF and a lone CR
        // become one LF each, as LoadFile makes them.
        "<a>\r\n<station name=\"one\r\ntwo\rthree\"/>\r\n<!-- c\r -->\rtext\r\n</a>\r\n",
        "<a><station name=\"&amp;&lt;&#65;&#x42;\"/></a>",
        // Only the text before the first zero byte counts.
        std::string("<a><station/></a>\0<b><station/></b>", 36),
    };
    for (const std::string& c : cases) EXPECT_EQ(with_loader(c), with_tinyxml(c)) << c;
    // Whatever runs longer than one read of the loader.
    std::string big = "<stationlist>";
    for (int i = 0; i < 2000; ++i) big += "<station name=\"Station " + std::to_string(i) + "\" id=\"" + std::to_string(i) + "\"/>\r\n";
    big += "</stationlist>";
    EXPECT_EQ(with_loader(big), with_tinyxml(big));
}

TEST(XmlFile, MissingOrEmptyFilesDoNotLoad) {
    std::remove(kPath);
    TiXmlDocument missing(kPath);
    EXPECT_FALSE(load_xml_file(&missing, AT_FDCWD, kPath));
    EXPECT_EQ(with_loader(""), "<not loaded>");
}

// A lead byte of a three-byte character as the last byte: TinyXML steps over
// the two bytes it expects behind it, past the text's end. What it finds
// there is zero bytes, every time, so the outcome is fixed.
TEST(XmlFile, FileEndingInsideACharacterStopsAtTheEnd) {
    const std::string fuzzed = "<;s>\n<stationaz>\xea";  // the input fuzz_total found
    EXPECT_EQ(with_loader(fuzzed), "<not loaded>");
    EXPECT_EQ(with_loader("<a><station name=\"x\xe6"), "<not loaded>");
    EXPECT_EQ(with_loader("<a><station/></a><b x=\"\xf0\x9f"), "<not loaded>");
    EXPECT_EQ(with_loader("<a><station/></a>\xe6"), "<a>\n    <station />\n</a>\n");

    std::memset(&station_page, 0, sizeof station_page);
    put("<a><station name=\"Late\" id=\"5\"/></a>\n<b><station name=\"\xe6");
    EXPECT_EQ(parse_homepage(&station_page, dir_test::path_file(kPath), nullptr), 0);
    EXPECT_EQ(station_page.stationtotal, 0);
}

std::string repeat(const std::string& part, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += part;
    return s;
}

const char kNotLoaded[] = "<not loaded>";

// Loaded as a page, and counted as a total file (nothing or one station).
std::string loads_as(const std::string& bytes) {
    const bool page = with_loader(bytes) != kNotLoaded;
    int32_t count = -1;
    const bool total = count_total_stations(AT_FDCWD, kPath, &count);
    return std::string(page ? "page" : "-") + (total ? " total " + std::to_string(count) : " -");
}

TEST(XmlFile, NestingAndAttributesUpToTheirBounds) {
    std::string attributes;
    for (int i = 0; i < kXmlMaxAttributes; ++i) attributes += " a" + std::to_string(i) + "=\"\"";
    const std::string station = "<station" + attributes + "/>";
    const std::pair<std::string, std::string> cases[] = {
        {"<r>" + station + repeat("<a>", kXmlMaxDepth - 1) + repeat("</a>", kXmlMaxDepth - 1) + "</r>", "page total 1"},
        {"<r>" + station + repeat("<a>", kXmlMaxDepth) + repeat("</a>", kXmlMaxDepth) + "</r>", "- -"},
        {"<r><station" + attributes + " b=\"\"/></r>", "- -"},
        // 120 KB that TinyXML descends into once per element, and only fails
        // at the end, if the stack lasts that long.
        {"<stationlist><station id=\"1\"/>" + repeat("<a>", 40000), "- -"},
    };
    for (const auto& [bytes, want] : cases) EXPECT_EQ(loads_as(bytes), want) << bytes.substr(0, 80);
    std::memset(&station_page, 0, sizeof station_page);
    EXPECT_EQ(parse_homepage(&station_page, dir_test::path_file(kPath), nullptr), 0);
    EXPECT_EQ(station_page.stationtotal, 0);
}

TEST(XmlFile, FilesLoadUpTo1MiB) {
    std::string at_cap = "<a/>" + std::string(kXmlMaxFileSize - 4, '\n');
    EXPECT_NE(with_loader(at_cap), kNotLoaded);
    EXPECT_EQ(with_loader(at_cap + "\n"), kNotLoaded);
    // A file that grows while it is read is read no further than one byte
    // past the cap: here an endless one.
    TiXmlDocument endless("/dev/zero");
    EXPECT_FALSE(load_xml_file(&endless, AT_FDCWD, "/dev/zero"));
}

// Empty elements in a root element, as many as the document may hold, then
// one more. At the edge, the document TinyXML built takes the bound or a
// little less, as the allocator reports it.
TEST(XmlFile, TheDocumentMayTake8MiB) {
    auto load = [](size_t elements, XmlShape* shape, xml_tree::Measure* real) {
        put("<r>" + repeat("<a/>", elements) + "</r>");
        TiXmlDocument doc(kPath);
        const bool loaded = load_xml_file(&doc, AT_FDCWD, kPath, shape);
        *real = xml_tree::measure(doc);
        return loaded;
    };
    XmlShape one, two, edge;
    xml_tree::Measure real;
    ASSERT_TRUE(load(1, &one, &real));
    ASSERT_TRUE(load(2, &two, &real));
    const uint64_t element = two.node_bytes - one.node_bytes;
    const size_t most = static_cast<size_t>((kXmlMaxNodeBytes - (one.node_bytes - element)) / element);
    ASSERT_TRUE(load(most, &edge, &real));
    EXPECT_LE(real.bytes, kXmlMaxNodeBytes + real.slack);
    EXPECT_GT(real.bytes, kXmlMaxNodeBytes / 10 * 9);
    EXPECT_FALSE(load(most + 1, &edge, &real));
    EXPECT_GT(edge.node_bytes, kXmlMaxNodeBytes);
}

}  // namespace
