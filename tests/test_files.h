// Helpers shared by the unit tests: whole files in the sandbox's private
// /tmp, directory listings, and capturing what the program prints.
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

namespace test_files {

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void put_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// Names of the entries of `dir`, sorted; names ending in `skip_suffix`
// (when given) are left out.
inline std::vector<std::string> list_dir(const std::string& dir, const std::string& skip_suffix = "") {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (!skip_suffix.empty() && name.size() > skip_suffix.size() &&
            name.compare(name.size() - skip_suffix.size(), skip_suffix.size(), skip_suffix) == 0)
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline void clear_dir(const std::string& dir) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove_all(e.path(), ec);
}

// Every one of the n bytes at p is zero.
inline bool all_zero(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i] != 0) return false;
    return true;
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

}  // namespace test_files
