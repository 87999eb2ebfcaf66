// Helpers for the record tests: the exchange directory "/tmp/hdd/root/"
// (a private tmpfs inside the test sandbox), whole-file reads and writes, and
// capturing what the program prints.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace records_test {

inline const char kExchangeDir[] = "/tmp/hdd/root";

using test_files::end_stdout;
using test_files::put_file;
using test_files::slurp;
using test_files::start_stdout;

inline std::vector<std::string> list_dir(const char* dir = kExchangeDir) { return test_files::list_dir(dir); }
inline void clear_dir(const char* dir = kExchangeDir) { test_files::clear_dir(dir); }
inline bool file_exists(const std::string& path) { return test_files::exists(path); }

// Every test starts and ends with an empty exchange directory.
class ExchangeDirTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::is_directory(kExchangeDir)) << "run the tests through tools/sandbox";
        clear_dir();
    }
    void TearDown() override { clear_dir(); }
};

}  // namespace records_test
