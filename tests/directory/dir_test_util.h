// Helpers for the directory tests: files in the sandbox's private /tmp,
// captured standard output, and XML pages built in the test.
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

namespace dir_test {

inline const char kTestRoot[] = "/tmp/hdd/root/irf";

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

// Names of the entries of `dir`, sorted; the count memos that the total
// probe keeps beside total files ("*.count") are left out.
inline std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() > 6 && name.compare(name.size() - 6, 6, ".count") == 0) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline void clear_dir(const std::string& dir) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove_all(e.path(), ec);
}

inline void start_stdout() {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
}
inline std::string end_stdout() {
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// "<station .../>" lines with ids first..first+count-1.
inline std::string station_lines(int first, int count) {
    std::string s;
    for (int i = first; i < first + count; ++i)
        s += "<station name=\"Station " + std::to_string(i) + "\" mt=\"audio/mpeg\" id=\"" + std::to_string(i) +
             "\" br=\"128\" genre=\"Pop\" lc=\"" + std::to_string(i * 10) + "\"/>\n";
    return s;
}

// A directory answer: declaration, root element, tunein, the stations.
inline std::string listing(const std::string& stations) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<stationlist>\n"
           "<tunein base=\"/sbin/tunein-station.pls\" base-m3u=\"/sbin/tunein-station.m3u\"/>\n" +
           stations + "</stationlist>\n";
}

}  // namespace dir_test
