// The trace datagrams, captured byte for byte on UDP port 8888. The test runs
// in tools/sandbox, whose loopback carries a route for 255.255.255.255, so
// the broadcasts arrive at a socket bound here.
#include "diag/debug_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/capture.h"

namespace {

const std::string kTabs(8, '\t');

class DebugLog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sink_.bound()); }
    // The one datagram of a trace call: exactly one arrives.
    std::string only() {
        const std::vector<std::string> got = sink_.drain();
        EXPECT_EQ(got.size(), 1u);
        return got.empty() ? "<none>" : got[0];
    }

    testing_support::DatagramSink sink_;
};

TEST_F(DebugLog, HeaderNamesFileThenFunctionPadsTheLineAndEndsInALineFeed) {
    const struct {
        const char* func;
        int line;
        const char* src;
        const char* want;
    } cases[] = {
        {"VxOpenDirectory", 131, kSrcLogic, "patch_Zorv_getlpls[0131] : VxOpenDirectory\n"},
        {"ExecvCmd", 73, kSrcLogic, "patch_Zorv_getlpls[0073] : ExecvCmd\n"},
        {"f", 5, "src", "src[0005] : f\n"},
        {"f", 1038, "src", "src[1038] : f\n"},
        {"f", 12345, "src", "src[12345] : f\n"},
    };
    for (const auto& c : cases) {
        udp_log(c.func, c.line, c.src, "%s", "");
        EXPECT_EQ(only(), kTabs + c.want);
    }
}

TEST_F(DebugLog, MessageFollowsTheHeaderWithNothingAdded) {
    udp_log("main", 78, kSrcMain, "VxShoutcastGetActiveServers returned with status=%d", 1);
    EXPECT_EQ(only(), kTabs + "patch_main[0078] : main\nVxShoutcastGetActiveServers returned with status=1");
    udp_log("VxShoutcastGetActiveServers", 793, kSrcLogic, "pageHref: %s, SearchKey:\"%s\"", "sgenre=Pop", "0");
    EXPECT_EQ(only(),
              kTabs + "patch_Zorv_getlpls[0793] : VxShoutcastGetActiveServers\npageHref: sgenre=Pop, SearchKey:\"0\"");
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"  // "%m" is the C library's, not ISO C++'s
TEST_F(DebugLog, PercentMCarriesTheCallersErrorAndKeepsErrno) {
    errno = ENOENT;
    udp_log("VxOpenDirectory", 141, kSrcLogic, "%m");
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(only(), kTabs + "patch_Zorv_getlpls[0141] : VxOpenDirectory\nNo such file or directory");
    errno = EACCES;
    udp_log("f", 1, "src", "<%m>");
    EXPECT_EQ(only(), kTabs + "src[0001] : f\n<Permission denied>");
}
#pragma GCC diagnostic pop

TEST_F(DebugLog, ArgumentDumpTakesCountSlotsAnyOfThemNullAndPercentLiterally) {
    const struct {
        std::vector<const char*> vec;
        int count;
        std::string dump;
    } cases[] = {
        {{"/sbin/wget", "-t", "1", "-T", "30", "-nd", "http://h/p?a=1", "-O", "/tmp/x.html", nullptr}, 10,
         "****argv :  /sbin/wget -t 1 -T 30 -nd http://h/p?a=1 -O /tmp/x.html NULL"},
        {{"a", "b", nullptr, "never"}, 3, "****argv :  a b NULL"},
        {{nullptr, "x", ""}, 3, "****argv :  NULL x "},
        {{"a"}, 0, "****argv : "},
        {{"http://h/?genre=Rock%20%26%20Roll&x=%s%n%d", "100%", nullptr}, 3,
         "****argv :  http://h/?genre=Rock%20%26%20Roll&x=%s%n%d 100% NULL"},
    };
    for (const auto& c : cases) {
        udp_log_argv("ExecvCmd", 73, kSrcLogic, c.count, c.vec.data());
        EXPECT_EQ(only(), kTabs + "patch_Zorv_getlpls[0073] : ExecvCmd\n" + c.dump);
    }
}

TEST_F(DebugLog, LongTraceLineIsCutAtTheBuffersEnd) {
    const std::string header = kTabs + "src[0007] : f\n";
    std::string message;
    for (int i = 0; message.size() < 3000; ++i) message += std::to_string(i % 10);
    udp_log("f", 7, "src", "%s", message.c_str());
    const std::string d = only();
    ASSERT_EQ(d.size(), 2047u);
    EXPECT_EQ(d, header + message.substr(0, 2047 - header.size()));

    // A message of exactly the room left fits whole.
    const std::string fits = message.substr(0, 2047 - header.size());
    udp_log("f", 7, "src", "%s", fits.c_str());
    EXPECT_EQ(only(), header + fits);
}

TEST_F(DebugLog, HeaderLongerThanTheBufferIsCutToo) {
    const std::string func(3000, 'F');
    udp_log(func.c_str(), 9, "src", "message");
    const std::string d = only();
    ASSERT_EQ(d.size(), 2047u);
    EXPECT_EQ(d, (kTabs + "src[0009] : " + func).substr(0, 2047));
}

TEST_F(DebugLog, LongArgumentDumpIsCutAtItsBuffersEnd) {
    const std::string header = kTabs + "src[0073] : ExecvCmd\n";
    const std::string url = "http://h/" + std::string(1500, 'u');
    const char* vec[4] = {"/sbin/wget", url.c_str(), "-O", nullptr};
    udp_log_argv("ExecvCmd", 73, "src", 4, vec);
    const std::string dump = "****argv :  /sbin/wget " + url + " -O NULL";
    EXPECT_EQ(only(), header + dump.substr(0, 1023));

    // Many short slots: cut inside a slot, and nothing after it.
    std::vector<std::string> words;
    std::vector<const char*> many;
    std::string full = "****argv : ";
    for (int i = 0; i < 300; ++i) words.push_back("w" + std::to_string(i));
    for (const auto& w : words) {
        many.push_back(w.c_str());
        full += " " + w;
    }
    udp_log_argv("ExecvCmd", 73, "src", static_cast<int>(many.size()), many.data());
    EXPECT_EQ(only(), header + full.substr(0, 1023));
}

}  // namespace
