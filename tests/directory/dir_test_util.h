// Helpers for the directory tests: files in the sandbox's private /tmp,
// captured standard output, and XML pages built in the test.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/storage_root.h"
#include "platform/text.h"
#include "test_files.h"

namespace dir_test {

inline const char kTestRoot[] = "/tmp/hdd/root/irf";

using test_files::clear_dir;
using test_files::end_stdout;
using test_files::exists;
using test_files::put_file;
using test_files::slurp;
using test_files::start_stdout;

// Names of the entries of `dir`, sorted; the count memos that the total
// probe keeps beside total files ("*.count") and the runs' lock file
// (".lock") are left out.
inline std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names = test_files::list_dir(dir, ".count");
    names.erase(std::remove(names.begin(), names.end(), ".lock"), names.end());
    return names;
}

// A file named by its path, as the cache's functions take a file of the
// storage root.
inline RootFile path_file(const std::string& path) {
    static const StorageDir here = {AT_FDCWD, "", false, 0};
    RootFile f;
    f.root = &here;
    copy_text(f.name, path.c_str(), sizeof f.name);
    copy_text(f.path, path.c_str(), sizeof f.path);
    return f;
}

// The test's storage root, entered as a command enters it (without the lock).
struct TestRoot {
    StorageDir dir;
    explicit TestRoot(const char* path = kTestRoot, bool flash = false)
        : dir{open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC), path, flash, 0} {}
    ~TestRoot() { close(dir.fd); }
    RootFile file(const std::string& name) const {
        RootFile f;
        root_file(&f, dir, name.c_str());
        return f;
    }
};

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
