// From a page link, search text and key to the query: mode, offset, page
// number, cache names, URL and the links to the neighbouring pages.
#include <cctype>
#include <cstring>
#include <string>

#include "directory/page_request.h"
#include "dir_test_util.h"

namespace {

const char kKey[] = "Lq3Vt8Nw5Rz1Hk6P";
const char kDisk[] = "/tmp/hdd/root/irf";
const char kFlash[] = "/usr/local/etc/hdd/root/irf";
const std::string kKeyedGenre = "http://api.shoutcast.com/legacy/genresearch?k=Lq3Vt8Nw5Rz1Hk6P&";
const std::string kKeyedSearch = "http://api.shoutcast.com/legacy/stationsearch?k=Lq3Vt8Nw5Rz1Hk6P&";
const std::string kLegacy = "http://yp.shoutcast.com/sbin/newxml.phtml?";

struct PlanCase {
    const char* what;
    const char* link;
    const char* search;
    const char* key;
    QueryMode mode;
    int16_t offset;
    uint16_t pagenum;
    std::string page_base;  // relative to the disk root
    std::string url;
};

class PlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanTest, LinkBecomesQuery) {
    const PlanCase& c = GetParam();
    PageQuery q;
    ASSERT_EQ(plan_page_query(&q, c.link, c.search, c.key, kDisk), kPlanOk);
    EXPECT_EQ(q.mode, c.mode);
    EXPECT_EQ(q.offset, c.offset);
    EXPECT_EQ(q.pagenum, c.pagenum);
    EXPECT_EQ(std::string(q.page_base), std::string(kDisk) + "/" + c.page_base);
    EXPECT_EQ(std::string(q.page_name), c.page_base + ".html");
    EXPECT_EQ(q.cacheable, c.offset % 20 == 0);
    EXPECT_EQ(std::string(q.url), c.url);
    // The listing's total file and URL: the page's, cut after its last
    // "Page" and before its "&limit=".
    EXPECT_EQ(std::string(q.total_name), c.page_base.substr(0, c.page_base.rfind("Page")) + "PageTotal.xml");
    EXPECT_EQ(std::string(q.total_url), c.url.substr(0, c.url.find("&limit=")));
}

// FNV-1a of "rock" is 3a1b4ab4, of "jazz" 153ddef0, of "a/b" 3a8e75c1.
INSTANTIATE_TEST_SUITE_P(
    Links, PlanTest,
    testing::Values(
        PlanCase{"genre first page", "sgenre=Pop", "0", kKey, kModeGenre, 0, 1, "PopPage1",
                 kKeyedGenre + "genre=Pop&limit=0,20"},
        PlanCase{"genre without key", "sgenre=Pop", "0", nullptr, kModeGenre, 0, 1, "PopPage1",
                 kLegacy + "genre=Pop&limit=0,20"},
        PlanCase{"empty key still keyed", "sgenre=Pop", "0", "", kModeGenre, 0, 1, "PopPage1",
                 "http://api.shoutcast.com/legacy/genresearch?k=&genre=Pop&limit=0,20"},
        PlanCase{"genre page 3", "sgenre=Pop&startat=40", "0", kKey, kModeGenre, 40, 3, "PopPage3",
                 kKeyedGenre + "genre=Pop&limit=40,20"},
        PlanCase{"offset not a multiple", "startat=10", "0", kKey, kModeAll, 10, 1, "Page1",
                 kKeyedGenre + "genre=all&limit=10,20"},
        PlanCase{"all without key", "startat=20", "0", nullptr, kModeAll, 20, 2, "Page2",
                 kLegacy + "genre=all&limit=20,20"},
        PlanCase{"search has its own cache name", "startat=0", "rock", kKey, kModeSearch, 0, 1,
                 "Search_3a1b4ab4Page1", kKeyedSearch + "search=rock&limit=0,20"},
        PlanCase{"search without key", "startat=0", "rock", nullptr, kModeSearch, 0, 1, "Search_3a1b4ab4Page1",
                 kLegacy + "search=rock&limit=0,20"},
        PlanCase{"another search text, another name", "startat=0", "jazz", kKey, kModeSearch, 0, 1,
                 "Search_153ddef0Page1", kKeyedSearch + "search=jazz&limit=0,20"},
        PlanCase{"&s= keeps all stations", "startat=0&s=rock", "rock", kKey, kModeAll, 0, 1, "Page1",
                 kKeyedGenre + "genre=all&limit=0,20"},
        PlanCase{"search overrides genre", "sgenre=Pop", "rock", kKey, kModeSearch, 0, 1, "PopSearch_3a1b4ab4Page1",
                 kKeyedSearch + "search=rock&limit=0,20"},
        PlanCase{"search page 2 of a genre link", "sgenre=Pop&startat=20", "rock", kKey, kModeSearch, 20, 2,
                 "PopSearch_3a1b4ab4Page2", kKeyedSearch + "search=rock&limit=20,20"},
        PlanCase{"search text 0 is no search", "sgenre=Pop", "0", kKey, kModeGenre, 0, 1, "PopPage1",
                 kKeyedGenre + "genre=Pop&limit=0,20"},
        PlanCase{"empty search text is no search", "sgenre=Pop", "", kKey, kModeGenre, 0, 1, "PopPage1",
                 kKeyedGenre + "genre=Pop&limit=0,20"},
        PlanCase{"no search text", "startat=0", nullptr, kKey, kModeAll, 0, 1, "Page1",
                 kKeyedGenre + "genre=all&limit=0,20"},
        PlanCase{"startat before sgenre", "startat=20&sgenre=Pop", "0", kKey, kModeGenre, 20, 2, "PopPage2",
                 kKeyedGenre + "genre=Pop&limit=20,20"},
        PlanCase{"genre runs to the first &startat=", "sgenre=A&B&startat=40&x=1", "0", kKey, kModeGenre, 40, 3,
                 "A&BPage3", kKeyedGenre + "genre=A%26B&limit=40,20"},
        PlanCase{"genre and search are percent-encoded", "sgenre=Rock & Roll", "0", kKey, kModeGenre, 0, 1,
                 "Rock & RollPage1", kKeyedGenre + "genre=Rock%20%26%20Roll&limit=0,20"},
        PlanCase{"search percent-encoded", "startat=0", "a/b c", kKey, kModeSearch, 0, 1, "Search_575dc0f0Page1",
                 kKeyedSearch + "search=a%2Fb%20c&limit=0,20"},
        PlanCase{"key percent-encoded", "startat=0", "0", "k y&", kModeAll, 0, 1, "Page1",
                 "http://api.shoutcast.com/legacy/genresearch?k=k%20y%26&genre=all&limit=0,20"},
        PlanCase{"unreserved bytes stay", "sgenre=a-b.c_d~e", "0", nullptr, kModeGenre, 0, 1, "a-b.c_d~ePage1",
                 kLegacy + "genre=a-b.c_d~e&limit=0,20"},
        PlanCase{"UTF-8 genre", "sgenre=M\xc3\xbasica", "0", nullptr, kModeGenre, 0, 1, "M\xc3\xbasicaPage1",
                 kLegacy + "genre=M%C3%BAsica&limit=0,20"},
        PlanCase{"slash in genre stays in the root", "sgenre=../../x", "0", kKey, kModeGenre, 0, 1, ".._.._xPage1",
                 kKeyedGenre + "genre=..%2F..%2Fx&limit=0,20"},
        PlanCase{"slash in genre", "sgenre=Rock/Pop&startat=20", "0", kKey, kModeGenre, 20, 2, "Rock_PopPage2",
                 kKeyedGenre + "genre=Rock%2FPop&limit=20,20"},
        PlanCase{"blanks before the offset", "startat= 40", "0", kKey, kModeAll, 40, 3, "Page3",
                 kKeyedGenre + "genre=all&limit=40,20"},
        PlanCase{"negative offset", "startat=-40", "0", kKey, kModeAll, -40, 65535, "Page65535",
                 kKeyedGenre + "genre=all&limit=-40,20"},
        PlanCase{"small negative offset", "startat=-10", "0", kKey, kModeAll, -10, 1, "Page1",
                 kKeyedGenre + "genre=all&limit=-10,20"},
        PlanCase{"offset wraps in 16 bits", "startat=65576", "0", kKey, kModeAll, 40, 3, "Page3",
                 kKeyedGenre + "genre=all&limit=40,20"},
        PlanCase{"offset without digits", "sgenre=Pop&startat=x", "0", kKey, kModeGenre, 0, 1, "PopPage1",
                 kKeyedGenre + "genre=Pop&limit=0,20"},
        PlanCase{"empty genre", "sgenre=", "0", kKey, kModeGenre, 0, 1, "Page1",
                 kKeyedGenre + "genre=&limit=0,20"},
        PlanCase{"genre holding Page", "sgenre=Page 3&startat=20", "0", kKey, kModeGenre, 20, 2, "Page 3Page2",
                 kKeyedGenre + "genre=Page%203&limit=20,20"}),
    [](const testing::TestParamInfo<PlanCase>& param_info) {
        std::string name;
        for (const char* p = param_info.param.what; *p != '\0'; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(PlanRefused, LinkWithoutEitherKey) {
    PageQuery q;
    for (const char* link : {"", "genre=Pop", "SGENRE=Pop", "startat", "s=rock"}) {
        EXPECT_EQ(plan_page_query(&q, link, "rock", kKey, kDisk), kPlanNoKey) << link;
        EXPECT_EQ(std::string(q.link), link);
    }
    EXPECT_EQ(plan_page_query(&q, nullptr, "0", kKey, kDisk), kPlanNoKey);
}

TEST(PlanRefused, UrlThatWouldNotFit) {
    PageQuery q;
    // Each "&" becomes "%26": 63 of them make 189 bytes, and the rest of
    // the keyed search URL is 83 more.
    const std::string search(63, '&');
    EXPECT_EQ(plan_page_query(&q, "startat=0", search.c_str(), kKey, kDisk), kPlanTooLong);
    // One byte less of encoded text fits exactly: 255 characters.
    const std::string fits = std::string(55, '&') + std::string(7, 'x');
    ASSERT_EQ(plan_page_query(&q, "startat=0", fits.c_str(), kKey, kDisk), kPlanOk);
    EXPECT_EQ(std::strlen(q.url), 255u);
    const std::string over = fits + "x";
    EXPECT_EQ(plan_page_query(&q, "startat=0", over.c_str(), kKey, kDisk), kPlanTooLong);
    // A long key alone.
    const std::string key(200, '%');
    EXPECT_EQ(plan_page_query(&q, "sgenre=Pop", "0", key.c_str(), kDisk), kPlanTooLong);
}

TEST(PlanRefused, CacheNameThatWouldNotFit) {
    PageQuery q;
    // Flash root (27) + "/" + genre + "Search_xxxxxxxx" + "Page1" + ".html":
    // 99 characters with a genre of 46, 100 with one of 47.
    const std::string g46(46, 'G');
    ASSERT_EQ(plan_page_query(&q, ("sgenre=" + g46).c_str(), "rock", kKey, kFlash), kPlanOk);
    EXPECT_EQ(std::string(q.page_name), g46 + "Search_3a1b4ab4Page1.html");
    EXPECT_EQ(std::string(q.page_base), std::string(kFlash) + "/" + g46 + "Search_3a1b4ab4Page1");

    const std::string g47(47, 'G');
    EXPECT_EQ(plan_page_query(&q, ("sgenre=" + g47).c_str(), "rock", kKey, kFlash), kPlanTooLong);
    // The page number counts too: a negative offset gives page 65535.
    const std::string g44(44, 'G');
    ASSERT_EQ(plan_page_query(&q, ("sgenre=" + g44 + "&startat=-10").c_str(), "rock", kKey, kFlash), kPlanOk);
    EXPECT_EQ(std::strlen(kFlash) + 1 + std::strlen(q.page_name), 97u);
    EXPECT_EQ(plan_page_query(&q, ("sgenre=" + g44 + "&startat=-40").c_str(), "rock", kKey, kFlash),
              kPlanTooLong);
    // The longest genre a link can carry (56) fits on the disk root, even
    // with a search.
    const std::string g56(56, 'G');
    ASSERT_EQ(plan_page_query(&q, ("sgenre=" + g56).c_str(), "rock", kKey, kDisk), kPlanOk);
    EXPECT_EQ(std::strlen(kDisk) + 1 + std::strlen(q.page_name), 99u);
}

TEST(PlanLink, LongLinkIsCutTo63) {
    PageQuery q;
    const std::string tail(70, 'x');
    const std::string link = "startat=40&" + tail;
    ASSERT_EQ(plan_page_query(&q, link.c_str(), "0", kKey, kDisk), kPlanOk);
    EXPECT_EQ(std::string(q.link), link.substr(0, 63));
    EXPECT_EQ(q.offset, 40);

    // The genre is what remains of it after "sgenre=".
    const std::string genre(70, 'g');
    ASSERT_EQ(plan_page_query(&q, ("sgenre=" + genre).c_str(), "0", nullptr, kDisk), kPlanOk);
    EXPECT_EQ(std::string(q.genre), genre.substr(0, 56));
    EXPECT_EQ(std::string(q.page_base), std::string(kDisk) + "/" + genre.substr(0, 56) + "Page1");

    // A "startat=" that the cut drops is not seen.
    const std::string late = "sgenre=" + std::string(50, 'g') + "&startat=40";
    ASSERT_EQ(plan_page_query(&q, late.c_str(), "0", nullptr, kDisk), kPlanOk);
    EXPECT_FALSE(q.has_startat);
    EXPECT_EQ(q.pagenum, 1);
}

TEST(PlanLink, SearchMarkerIsLookedForInTheWholeLink) {
    // "&s=" past the 63 characters still keeps the mode at all stations.
    PageQuery q;
    const std::string link = "startat=20&" + std::string(60, 'x') + "&s=rock";
    ASSERT_EQ(plan_page_query(&q, link.c_str(), "rock", kKey, kDisk), kPlanOk);
    EXPECT_EQ(q.mode, kModeAll);
    EXPECT_EQ(std::string(q.page_name), "Page2.html");
}

struct NavCase {
    std::string link;
    uint16_t pagetotal;
    std::string prev;
    std::string next;
};

class NavTest : public testing::TestWithParam<NavCase> {};

TEST_P(NavTest, PrevAndNext) {
    const NavCase& c = GetParam();
    PageQuery q;
    ASSERT_EQ(plan_page_query(&q, c.link.c_str(), "0", kKey, kDisk), kPlanOk);
    char prev[61];
    char next[61];
    std::memset(prev, 'x', sizeof prev);
    std::memset(next, 'x', sizeof next);
    page_nav_links(&q, c.pagetotal, prev, next);
    EXPECT_EQ(std::string(prev), c.prev);
    EXPECT_EQ(std::string(next), c.next);
    // The rest of each field is zero.
    for (size_t i = std::strlen(prev); i < sizeof prev; ++i) EXPECT_EQ(prev[i], '\0') << i;
    for (size_t i = std::strlen(next); i < sizeof next; ++i) EXPECT_EQ(next[i], '\0') << i;
}

const std::string kGenre53(53, 'g');
const std::string kLong = "sgenre=" + kGenre53;  // 60 characters

INSTANTIATE_TEST_SUITE_P(
    Links, NavTest,
    testing::Values(
        // A genre link without offset: 0 and 20, whatever the total.
        NavCase{"sgenre=Pop", 1, "sgenre=Pop&startat=0", "sgenre=Pop&startat=20"},
        NavCase{"sgenre=Pop", 9, "sgenre=Pop&startat=0", "sgenre=Pop&startat=20"},
        NavCase{"sgenre=Pop&startat=40", 6, "sgenre=Pop&startat=20", "sgenre=Pop&startat=60"},
        // The last page links to itself.
        NavCase{"sgenre=Pop&startat=40", 4, "sgenre=Pop&startat=20", "sgenre=Pop&startat=40"},
        NavCase{"sgenre=Pop&startat=40", 5, "sgenre=Pop&startat=20", "sgenre=Pop&startat=60"},
        // A failed probe (total 1): the next link is the current one.
        NavCase{"startat=0", 1, "startat=0", "startat=0"},
        NavCase{"startat=10", 3, "startat=0", "startat=30"},
        NavCase{"startat=10", 2, "startat=0", "startat=10"},
        // The link is kept up to "startat=": what followed the old number goes.
        NavCase{"startat=20&sgenre=Pop", 5, "startat=0", "startat=40"},
        NavCase{"sgenre=Pop&startat=20&s=rock", 5, "sgenre=Pop&startat=0", "sgenre=Pop&startat=40"},
        NavCase{"startat=-40", 3, "startat=0", "startat=-20"},
        // Cut to 60 characters.
        NavCase{kLong, 3, (kLong + "&startat=0").substr(0, 60), (kLong + "&startat=20").substr(0, 60)},
        NavCase{"startat=0&" + std::string(50, 'x'), 3, "startat=0", "startat=20"},
        NavCase{"sgenre=" + std::string(45, 'g') + "&startat=20", 9,
                ("sgenre=" + std::string(45, 'g') + "&startat=0").substr(0, 60),
                ("sgenre=" + std::string(45, 'g') + "&startat=40").substr(0, 60)}));

}  // namespace
