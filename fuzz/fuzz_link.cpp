// Any page link, search text and key (the input split at its first two zero
// bytes) through plan_page_query and page_nav_links, for both storage roots:
// the URL, the cache names and the navigation links stay within their buffers
// and zero-terminated, and each cache name is one file directly in the
// storage root.
#include <cstdint>
#include <cstring>
#include <string>

#include "directory/page_request.h"
#include "fuzz/fuzz_common.h"
#include "platform/storage_root.h"

namespace {

template <size_t N>
void check_cache_name(const char (&name)[N], const char* root, const char* what) {
    fuzz_check_field(name, what);
    const size_t root_len = std::strlen(root);
    fuzz_check(std::strncmp(name, root, root_len) == 0 && name[root_len] == '/', what);
    const char* file = name + root_len + 1;
    fuzz_check(std::strchr(file, '/') == nullptr, what);
    fuzz_check(std::strcmp(file, "") != 0 && std::strcmp(file, ".") != 0 && std::strcmp(file, "..") != 0, what);
}

void plan_and_check(const char* link, const char* search, const char* key, const char* root, uint16_t pagetotal) {
    PageQuery q;
    const PlanResult r = plan_page_query(&q, link, search, key, root);
    fuzz_check_field(q.link, "link copy");
    fuzz_check(std::strncmp(q.link, link, std::strlen(q.link)) == 0, "link copy is not a prefix of the link");
    fuzz_check_field(q.genre, "genre");
    fuzz_check_field(q.page_base, "page_base");
    fuzz_check_field(q.page_name, "page_name");
    fuzz_check_field(q.total_name, "total_name");
    fuzz_check_field(q.url, "url");
    if (r != kPlanOk) return;

    check_cache_name(q.page_base, root, "page_base outside the storage root");
    const std::string html = std::string(q.page_base) + ".html";
    fuzz_check(html == std::string(root) + "/" + q.page_name, "page_name is not page_base's name + .html");
    for (const char* name : {q.page_name, q.total_name})
        fuzz_check(std::strchr(name, '/') == nullptr && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0,
                   "a cache name leaves the storage root");
    fuzz_check(std::strncmp(q.url, "http://", 7) == 0, "url without scheme");
    for (const char* c = q.url; *c != '\0'; ++c)
        fuzz_check(static_cast<unsigned char>(*c) > ' ' && static_cast<unsigned char>(*c) < 0x7f, "url with a raw byte");

    char prev[61];
    char next[61];
    std::memset(prev, 0x5a, sizeof prev);
    std::memset(next, 0x5a, sizeof next);
    page_nav_links(&q, pagetotal, prev, next);
    fuzz_check_field(prev, "prevpagehref");
    fuzz_check_field(next, "nextpagehref");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // [pagetotal: 2 bytes] link \0 search \0 key; the search defaults to "0"
    // (none) and the key to the built-in one, as on the command line.
    if (size < 2) return 0;
    const uint16_t pagetotal = static_cast<uint16_t>(data[0] | data[1] << 8);
    const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    std::string parts[3] = {"", "0", "Lq3Vt8Nw5Rz1Hk6P"};
    size_t from = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t end = i < 2 ? rest.find('\0', from) : std::string::npos;
        parts[i] = rest.substr(from, end == std::string::npos ? std::string::npos : end - from);
        if (end == std::string::npos) break;
        from = end + 1;
    }
    // What is left after a third zero byte stays out of the key.
    parts[2] = parts[2].c_str();
    plan_and_check(parts[0].c_str(), parts[1].c_str(), parts[2].c_str(), kDiskRoot, pagetotal);
    plan_and_check(parts[0].c_str(), parts[1].c_str(), parts[2].c_str(), kFlashRoot, pagetotal);
    return 0;
}
