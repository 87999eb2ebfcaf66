// Helpers for the record tests: the exchange directory "/tmp/hdd/root/"
// (a private tmpfs inside the test sandbox), whole-file reads and writes, and
// capturing what the program prints.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace records_test {

inline const char kExchangeDir[] = "/tmp/hdd/root";

// Names of the entries of `dir`, sorted.
inline std::vector<std::string> list_dir(const char* dir = kExchangeDir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline void clear_dir(const char* dir = kExchangeDir) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove_all(e.path(), ec);
}

inline bool file_exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void put_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good()) << path;
}

// Starts and ends a capture of everything printed on standard output.
inline void start_stdout() {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
}
inline std::string end_stdout() {
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

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
