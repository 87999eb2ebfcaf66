// The storage root that a run chooses. Registered once per sandbox layout
// (see tests/CMakeLists.txt): the exchange directory present (disk), present
// but its file-system status query failing (--flash), or missing altogether
// (--no-exchange). The layout is told by the directories the sandbox made;
// the root is read from the process after the front end has run, so the
// unrecognised-command path, which shows it nowhere else, is covered too.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "app/dispatch.h"
#include "platform/storage_root.h"

namespace {

bool exists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

enum class Layout { kDisk, kFlash, kNoExchange };

Layout sandbox_layout() {
    if (!exists("/tmp/hdd/root")) return Layout::kNoExchange;
    // The sandbox makes the flash parent only when the disk root is not to
    // be chosen.
    return exists("/usr/local/etc/hdd/root") ? Layout::kFlash : Layout::kDisk;
}

std::string run_front_end(std::initializer_list<const char*> args) {
    std::vector<char*> argv;
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(radiodir_main(static_cast<int>(args.size()), argv.data()), 0);
    return testing::internal::GetCapturedStdout();
}

TEST(StorageRoot, ChosenByTheStatusQueryEvenForAnUnknownWord) {
    storage_root[0] = '\0';
    EXPECT_EQ(run_front_end({"radiodir", "Browse"}), "argv[0]=radiodir\nargv[1]=Browse\nnot implement the request:Browse\n");
    switch (sandbox_layout()) {
        case Layout::kDisk:
            EXPECT_STREQ(storage_root, "/tmp/hdd/root/irf");
            EXPECT_FALSE(storage_is_flash());
            break;
        case Layout::kFlash:
        case Layout::kNoExchange:
            EXPECT_STREQ(storage_root, "/usr/local/etc/hdd/root/irf");
            EXPECT_TRUE(storage_is_flash());
            break;
    }
}

TEST(StorageRoot, NotChosenWithoutACommandWord) {
    storage_root[0] = '\0';
    EXPECT_EQ(run_front_end({"radiodir"}), "parameter error, must >= 2!\n");
    EXPECT_STREQ(storage_root, "");
}

TEST(StorageRoot, UsageErrorsStillChooseIt) {
    storage_root[0] = '\0';
    EXPECT_EQ(run_front_end({"radiodir", "GetStationChannelList"}),
              "argv[0]=radiodir\nargv[1]=GetStationChannelList\nparameter error, must >= 3!\n");
    EXPECT_STREQ(storage_root, sandbox_layout() == Layout::kDisk ? "/tmp/hdd/root/irf" : "/usr/local/etc/hdd/root/irf");
}

}  // namespace
