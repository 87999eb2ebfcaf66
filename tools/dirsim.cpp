// dirsim: a local stand-in for the internet-radio directory service that
// radiodir queries through /sbin/wget. It serves station listings (XML) and
// playlists (PLS) from a small data file or from generated stations, on the
// loopback interface only, with switches that make chosen requests fail in
// the ways a real service and network fail. See kUsage.
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef DIRSIM_DEFAULT_DATA
#define DIRSIM_DEFAULT_DATA "tests/data/stations.tsv"
#endif

namespace {

const char kUsage[] =
    "usage: dirsim [--port N] [--bind ADDR] [--data FILE | --generate N] [--log FILE]\n"
    "              [--ready FILE] [--key KEY]... [--fault KIND:MATCH[:N]]...\n"
    "              [--legacy-host NAME] [--keyed-host NAME]\n"
    "              [--dump QUERY] [--help]\n"
    "Serves the directory service that radiodir fetches from, over HTTP on a\n"
    "loopback address. The host is told by the Host header (a \":port\" suffix\n"
    "is allowed; any other host gets 404):\n"
    "  yp.shoutcast.com   /sbin/newxml.phtml?genre=all|genre=G|search=S[&limit=A,B]\n"
    "                     /sbin/tunein-station.pls?id=N[&k=KEY]\n"
    "  api.shoutcast.com  /legacy/genresearch?k=KEY&genre=all|G[&limit=A,B]\n"
    "                     /legacy/stationsearch?k=KEY&search=S[&limit=A,B]\n"
    "genre=G matches a station's genre without regard to ASCII case; search=S\n"
    "matches a case-insensitive substring of its name or genre; limit=A,B gives\n"
    "the stations A..A+B-1 of the listing (limit=B: the first B), without limit\n"
    "the whole listing. Query values are percent-decoded ('+' is a blank). An\n"
    "unknown or missing key gets 401 with an XML error body (a k= on a\n"
    "playlist request is checked the same way). A playlist has one entry per\n"
    "stream of the station: FileK=http://127.0.0.1:8000/stream/ID/K,\n"
    "TitleK=(#K) NAME, LengthK=-1, then Version=2; an unknown id gets 404.\n"
    "\n"
    "  --port N          port (default 8080)\n"
    "  --bind ADDR       loopback address to listen on (default 127.0.0.1)\n"
    "  --data FILE       stations from a tab-separated file (default: the\n"
    "                    checkout's tests/data/stations.tsv)\n"
    "  --generate N      N synthetic stations over the program's 19 genres:\n"
    "                    station i (from 0) has id 1000+i, genre number i mod 19,\n"
    "                    name \"GENRE Radio i+1\", 1 + i mod 3 streams\n"
    "  --log FILE        append \"METHOD HOST PATH?QUERY STATUS\" per request\n"
    "                    (host without its port, target as received), flushed\n"
    "  --ready FILE      create FILE once the port is listening\n"
    "  --legacy-host NAME, --keyed-host NAME\n"
    "                    serve under a vendor's host names (RADIODIR_LEGACY_HOST,\n"
    "                    RADIODIR_KEYED_HOST of its build) instead of the two above\n"
    "  --key KEY         accepted developer key (repeatable; without any, the\n"
    "                    program's built-in key Lq3Vt8Nw5Rz1Hk6P)\n"
    "  --fault RULE      make matching requests fail (repeatable), see below\n"
    "  --dump QUERY      print the listing answer for QUERY (such as\n"
    "                    'genre=Pop&limit=0,20') on standard output and exit\n"
    "  --help            this text\n"
    "\n"
    "Fault RULE is KIND:MATCH[:N]. It applies to requests whose raw (still\n"
    "percent-encoded) \"path?query\" contains MATCH (empty MATCH: every\n"
    "request); with N only to the N-th such request (1-based), else to all of\n"
    "them. KIND is one of:\n"
    "  404, 500       that status\n"
    "  empty          200 with an empty body\n"
    "  short          200 with the first half of the answer (honest length)\n"
    "  slow[=SEC]     wait SEC seconds (default 40), then answer normally\n"
    "  malformed      200 with XML that no parser accepts\n"
    "  notpls         200 with a text that is not a playlist\n"
    "  close          announce the whole answer's length, send half, close\n"
    "  endless        200 with a body that never ends (the answer, repeated)\n"
    "  trickle[=SEC]  200, the answer one byte every SEC seconds (default 1)\n"
    "  body=FILE      200 with the bytes of FILE (read anew for each request)\n"
    "When several faults match, the first one given that fires applies; every\n"
    "matching fault counts the request. At run time, on any host:\n"
    "  GET /_dirsim/fault?rule=RULE   adds a fault (RULE percent-encoded like any\n"
    "                                 query value: a '%' of MATCH is written %25)\n"
    "  GET /_dirsim/clear             removes every fault\n"
    "These control requests are neither logged nor matched.\n"
    "\n"
    "Data file: UTF-8, one station per line, fields separated by tabs; the\n"
    "first line names the columns, in any order: id (required, unique\n"
    "number), name, genre, mt (default audio/mpeg), br (default 128), lc\n"
    "(default 0), ct, logo (attribute left out when empty), streams (playlist\n"
    "entries, default 1). Unknown columns are ignored; lines starting with '#'\n"
    "and blank lines are skipped; \\t \\n \\r \\\\ in a field stand for those\n"
    "characters. The listing is in file order.\n"
    "\n"
    "Exit status: 0 after SIGTERM or SIGINT (or --dump, --help), 1 when the\n"
    "data cannot be loaded or the port cannot be bound, 2 for bad options.\n";

constexpr const char* kGenres[19] = {
    "Anime", "Blues", "Classical", "Comedy", "Dance", "Disco",       "Folk",
    "Heavy Metal", "Hip Hop", "Jazz", "Kids", "News", "Political", "Pop",
    "Rap", "Rock & Roll", "Soul", "Talk", "Top 40",
};

struct Station {
    long id = 0;
    std::string name, genre, mt = "audio/mpeg", ct, logo;
    long br = 128, lc = 0, streams = 1;
};

struct Fault {
    std::string kind;  // 404 500 empty short slow malformed notpls close endless trickle body
    int slow_seconds = 40;
    int trickle_seconds = 1;
    std::string body_file;
    std::string match;
    long nth = 0;  // 0: every matching request
    long seen = 0;
};

struct Answer {
    int status = 200;
    std::string type = "text/xml";
    std::string body;
};

// ---- text helpers --------------------------------------------------------

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool parse_long(const std::string& s, long* out) {
    if (s.empty() || s.size() > 12) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    *out = std::strtol(s.c_str(), nullptr, 10);
    return true;
}

int hexval(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string pct_decode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexval(s[i + 1]) >= 0 && hexval(s[i + 2]) >= 0) {
            out += static_cast<char>(hexval(s[i + 1]) * 16 + hexval(s[i + 2]));
            i += 2;
        } else if (s[i] == '+') {
            out += ' ';
        } else {
            out += s[i];
        }
    }
    return out;
}

using Params = std::vector<std::pair<std::string, std::string>>;

Params parse_query(const std::string& query) {
    Params p;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string item = query.substr(start, end - start);
        if (!item.empty()) {
            const size_t eq = item.find('=');
            if (eq == std::string::npos)
                p.emplace_back(pct_decode(item), "");
            else
                p.emplace_back(pct_decode(item.substr(0, eq)), pct_decode(item.substr(eq + 1)));
        }
        start = end + 1;
    }
    return p;
}

const std::string* param(const Params& p, const char* key) {
    for (const auto& kv : p)
        if (kv.first == key) return &kv.second;
    return nullptr;
}

std::string xml_escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            case '\t': out += "&#9;"; break;
            default: out += c;
        }
    }
    return out;
}

// ---- stations ------------------------------------------------------------

std::string unescape_field(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char n = s[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return f;
        start = tab + 1;
    }
}

std::vector<Station> load_stations(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<std::string> columns;
    std::vector<Station> out;
    std::set<long> ids;
    std::string line;
    int lineno = 0;
    while (std::getline(in, line)) {
        ++lineno;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> f = split_tabs(line);
        if (columns.empty()) {
            columns = f;
            if (std::find(columns.begin(), columns.end(), "id") == columns.end())
                throw std::runtime_error(path + ": the header line has no id column");
            continue;
        }
        const std::string where = path + ":" + std::to_string(lineno) + ": ";
        Station st;
        bool has_id = false;
        for (size_t i = 0; i < f.size() && i < columns.size(); ++i) {
            const std::string v = unescape_field(f[i]);
            const std::string& c = columns[i];
            long* number = c == "id" ? &st.id : c == "br" ? &st.br : c == "lc" ? &st.lc : c == "streams" ? &st.streams
                                                                                                        : nullptr;
            if (number != nullptr) {
                if (v.empty() && c != "id") continue;
                if (!parse_long(v, number)) throw std::runtime_error(where + "bad number in column " + c);
                if (c == "id") has_id = true;
            } else if (c == "name") {
                st.name = v;
            } else if (c == "genre") {
                st.genre = v;
            } else if (c == "mt") {
                if (!v.empty()) st.mt = v;
            } else if (c == "ct") {
                st.ct = v;
            } else if (c == "logo") {
                st.logo = v;
            }
        }
        if (!has_id) throw std::runtime_error(where + "no id");
        if (!ids.insert(st.id).second) throw std::runtime_error(where + "duplicate id " + std::to_string(st.id));
        if (st.streams < 1) throw std::runtime_error(where + "streams must be at least 1");
        out.push_back(st);
    }
    if (columns.empty()) throw std::runtime_error(path + ": no header line");
    return out;
}

// Deterministic: station i (0-based) has id 1000 + i, genre i mod 19.
std::vector<Station> generate_stations(long n) {
    static const long kRates[] = {32, 64, 96, 128, 192, 256, 320};
    std::vector<Station> out;
    out.reserve(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) {
        Station st;
        st.id = 1000 + i;
        st.genre = kGenres[i % 19];
        st.name = st.genre + " Radio " + std::to_string(i + 1);
        st.mt = i % 5 == 4 ? "audio/aacp" : "audio/mpeg";
        st.br = kRates[(i * 3) % 7];
        st.lc = (i * 7919) % 5000;
        st.ct = "Artist " + std::to_string(i % 97) + " - Track " + std::to_string(i + 1);
        st.streams = 1 + i % 3;
        out.push_back(st);
    }
    return out;
}

// ---- answers -------------------------------------------------------------

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

std::string error_xml(int code, const char* text, const char* detail) {
    return std::string(kXmlHead) + "<response><statusCode>" + std::to_string(code) + "</statusCode><statusText>" +
           text + "</statusText><statusDetailText>" + detail + "</statusDetailText></response>\n";
}

Answer plain(int status, const std::string& text) {
    Answer a;
    a.status = status;
    a.type = "text/plain";
    a.body = text;
    return a;
}

// genre=all | genre=G | search=S, with an optional limit=A,B or limit=B.
Answer listing(const std::vector<Station>& stations, const Params& p, bool allow_genre, bool allow_search) {
    const std::string* search = allow_search ? param(p, "search") : nullptr;
    const std::string* genre = allow_genre ? param(p, "genre") : nullptr;
    if (search == nullptr && genre == nullptr) return plain(400, "400 Bad Request: no genre or search\n");
    long first = 0;
    long count = -1;
    if (const std::string* limit = param(p, "limit")) {
        const size_t comma = limit->find(',');
        if (comma == std::string::npos) {
            if (!parse_long(*limit, &count)) return plain(400, "400 Bad Request: bad limit\n");
        } else if (!parse_long(limit->substr(0, comma), &first) || !parse_long(limit->substr(comma + 1), &count)) {
            return plain(400, "400 Bad Request: bad limit\n");
        }
    }
    const std::string want = lower(search != nullptr ? *search : *genre);
    const bool all = search == nullptr && want == "all";
    std::string body = kXmlHead;
    body +=
        "<stationlist>\n<tunein base=\"/sbin/tunein-station.pls\" base-m3u=\"/sbin/tunein-station.m3u\" "
        "base-xspf=\"/sbin/tunein-station.xspf\"/>\n";
    long position = 0;
    for (const Station& st : stations) {
        bool hit = all;
        if (!hit && search != nullptr)
            hit = lower(st.name).find(want) != std::string::npos || lower(st.genre).find(want) != std::string::npos;
        else if (!hit)
            hit = lower(st.genre) == want;
        if (!hit) continue;
        const long pos = position++;
        if (pos < first || (count >= 0 && pos >= first + count)) continue;
        body += "<station name=\"" + xml_escape(st.name) + "\" mt=\"" + xml_escape(st.mt) +
                "\" id=\"" + std::to_string(st.id) + "\" br=\"" + std::to_string(st.br) + "\" genre=\"" +
                xml_escape(st.genre) + "\" ct=\"" + xml_escape(st.ct) + "\" lc=\"" + std::to_string(st.lc) + "\"";
        if (!st.logo.empty()) body += " logo=\"" + xml_escape(st.logo) + "\"";
        body += "/>\n";
    }
    body += "</stationlist>\n";
    Answer a;
    a.body = body;
    return a;
}

Answer playlist(const std::vector<Station>& stations, const Params& p) {
    long id = 0;
    const std::string* v = param(p, "id");
    if (v == nullptr || !parse_long(*v, &id)) return plain(404, "404 Not Found\n");
    for (const Station& st : stations) {
        if (st.id != id) continue;
        std::string body = "[playlist]\nnumberofentries=" + std::to_string(st.streams) + "\n";
        for (long k = 1; k <= st.streams; ++k) {
            const std::string n = std::to_string(k);
            body += "File" + n + "=http://127.0.0.1:8000/stream/" + std::to_string(st.id) + "/" + n + "\n";
            body += "Title" + n + "=(#" + n + ") " + st.name + "\n";
            body += "Length" + n + "=-1\n";
        }
        body += "Version=2\n";
        Answer a;
        a.type = "audio/x-scpls";
        a.body = body;
        return a;
    }
    return plain(404, "404 Not Found\n");
}

// ---- faults --------------------------------------------------------------

bool parse_fault(const std::string& rule, Fault* f) {
    const size_t colon = rule.find(':');
    if (colon == std::string::npos) return false;
    std::string kind = rule.substr(0, colon);
    std::string rest = rule.substr(colon + 1);
    const size_t last = rest.rfind(':');
    if (last != std::string::npos) {
        long n = 0;
        if (!parse_long(rest.substr(last + 1), &n) || n < 1) return false;
        f->nth = n;
        rest.erase(last);
    }
    f->match = rest;
    if (kind.compare(0, 5, "slow=") == 0) {
        long sec = 0;
        if (!parse_long(kind.substr(5), &sec) || sec > 3600) return false;
        f->slow_seconds = static_cast<int>(sec);
        kind = "slow";
    } else if (kind.compare(0, 8, "trickle=") == 0) {
        long sec = 0;
        if (!parse_long(kind.substr(8), &sec) || sec < 1 || sec > 3600) return false;
        f->trickle_seconds = static_cast<int>(sec);
        kind = "trickle";
    } else if (kind.compare(0, 5, "body=") == 0) {
        f->body_file = kind.substr(5);
        kind = "body";
    }
    static const char* const kKinds[] = {"404",    "500",    "empty",   "short", "slow", "malformed",
                                         "notpls", "close",  "endless", "trickle", "body"};
    for (const char* k : kKinds)
        if (kind == k) {
            f->kind = kind;
            return true;
        }
    return false;
}

// ---- server --------------------------------------------------------------

struct Server {
    std::vector<Station> stations;
    std::set<std::string> keys;
    std::string legacy_host = "yp.shoutcast.com";
    std::string keyed_host = "api.shoutcast.com";
    std::mutex mu;  // faults, log
    std::vector<Fault> faults;
    FILE* log = nullptr;
    std::condition_variable stop_cv;
    bool stopping = false;

    void write_log(const httplib::Request& req, const std::string& host, int status) {
        if (log == nullptr) return;
        std::lock_guard<std::mutex> lock(mu);
        std::fprintf(log, "%s %s %s %d\n", req.method.c_str(), host.empty() ? "-" : host.c_str(),
                     req.target.c_str(), status);
        std::fflush(log);
    }

    // The fault for this request, if one fires; every matching fault counts it.
    bool take_fault(const std::string& target, Fault* out) {
        std::lock_guard<std::mutex> lock(mu);
        bool found = false;
        for (Fault& f : faults) {
            if (target.find(f.match) == std::string::npos) continue;
            ++f.seen;
            if (!found && (f.nth == 0 || f.seen == f.nth)) {
                *out = f;
                found = true;
            }
        }
        return found;
    }

    // Waits; false when the server is stopping.
    bool pause(int seconds) {
        std::unique_lock<std::mutex> lock(mu);
        return !stop_cv.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopping; });
    }

    Answer answer(const std::string& host, const std::string& path, const Params& p) {
        if (host == legacy_host) {
            if (path == "/sbin/newxml.phtml") return listing(stations, p, true, true);
            if (path == "/sbin/tunein-station.pls") {
                const std::string* k = param(p, "k");
                if (k != nullptr && keys.count(*k) == 0)
                    return Answer{401, "text/xml", error_xml(401, "Unauthorized", "Invalid developer key")};
                return playlist(stations, p);
            }
        } else if (host == keyed_host) {
            const bool genre = path == "/legacy/genresearch";
            const bool search = path == "/legacy/stationsearch";
            if (genre || search) {
                const std::string* k = param(p, "k");
                if (k == nullptr || keys.count(*k) == 0)
                    return Answer{401, "text/xml",
                                  error_xml(401, "Unauthorized", "Invalid or missing developer key")};
                return listing(stations, p, genre, search);
            }
        }
        return plain(404, "404 Not Found\n");
    }

    void control(const std::string& path, const Params& p, httplib::Response& res) {
        if (path == "/_dirsim/clear") {
            std::lock_guard<std::mutex> lock(mu);
            faults.clear();
            res.set_content("ok\n", "text/plain");
            return;
        }
        const std::string* rule = param(p, "rule");
        Fault f;
        if (path == "/_dirsim/fault" && rule != nullptr && parse_fault(*rule, &f)) {
            std::lock_guard<std::mutex> lock(mu);
            faults.push_back(f);
            res.set_content("ok\n", "text/plain");
            return;
        }
        res.status = 400;
        res.set_content("bad control request\n", "text/plain");
    }

    // A body without a length: the answer repeated for ever (endless), or
    // the answer one byte at a time with a pause before each (trickle),
    // until the client goes or the server stops.
    void stream(httplib::Response& res, const std::string& body, const Fault& f) {
        const bool endless = f.kind == "endless";
        const int pause_seconds = f.trickle_seconds;
        res.set_chunked_content_provider("text/xml", [this, body, endless, pause_seconds](size_t offset,
                                                                                          httplib::DataSink& sink) {
            if (endless) {
                std::string chunk;
                while (chunk.size() < 64 * 1024) chunk += body;
                return sink.write(chunk.data(), chunk.size());
            }
            if (offset >= body.size()) {
                sink.done();
                return true;
            }
            return pause(pause_seconds) && sink.write(body.data() + offset, 1);
        });
    }

    void handle(const httplib::Request& req, httplib::Response& res) {
        const size_t q = req.target.find('?');
        const std::string path = req.target.substr(0, q);
        const Params p = parse_query(q == std::string::npos ? std::string() : req.target.substr(q + 1));
        if (path.compare(0, 8, "/_dirsim") == 0) {
            control(path, p, res);
            return;
        }
        std::string host = req.get_header_value("Host");
        const size_t colon = host.rfind(':');
        if (colon != std::string::npos && host.find(']', colon) == std::string::npos) host.erase(colon);
        const std::string lhost = lower(host);

        Answer a = answer(lhost, path, p);
        Fault f;
        bool cut_connection = false;
        if (take_fault(req.target, &f)) {
            if (f.kind == "404") {
                a = plain(404, "404 Not Found\n");
            } else if (f.kind == "500") {
                a = plain(500, "500 Internal Server Error\n");
            } else if (f.kind == "empty") {
                a = Answer{200, a.type, ""};
            } else if (f.kind == "short") {
                a = Answer{200, a.type, a.body.substr(0, a.body.size() / 2)};
            } else if (f.kind == "slow") {
                if (!pause(f.slow_seconds)) {
                    res.status = 503;
                    return;
                }
            } else if (f.kind == "malformed") {
                a = Answer{200, "text/xml",
                           std::string(kXmlHead) +
                               "<stationlist>\n<tunein base=\"/sbin/tunein-station.pls\"/>\n"
                               "<station name=\"Broken &amp Radio\" id=\"1\" br=\"128\" genre=\"Pop\">\n"
                               "</stationlist>\n<station name=\"after the end\"\n"};
            } else if (f.kind == "notpls") {
                a = Answer{200, "text/html",
                           "<html><head><title>Service unavailable</title></head>\n"
                           "<body>The station is not available.</body></html>\n"};
            } else if (f.kind == "close") {
                a.status = 200;
                cut_connection = true;
            } else if (f.kind == "body") {
                std::ifstream in(f.body_file, std::ios::binary);
                std::ostringstream bytes;
                bytes << in.rdbuf();
                a = Answer{200, "text/xml", bytes.str()};
            } else if (f.kind == "endless" || f.kind == "trickle") {
                write_log(req, host, 200);
                res.status = 200;
                stream(res, a.body.empty() ? std::string("x") : a.body, f);
                return;
            }
        }
        write_log(req, host, a.status);
        res.status = a.status;
        if (!cut_connection) {
            res.set_content(a.body, a.type.c_str());
            return;
        }
        // The whole length is announced, half of the body is sent, then the
        // provider gives up and the connection is closed.
        const std::string body = a.body.empty() ? std::string("x") : a.body;
        const size_t half = body.size() / 2;
        res.set_content_provider(body.size(), a.type.c_str(),
                                 [body, half](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset < half) {
                                         sink.write(body.data() + offset, half - offset);
                                         return true;
                                     }
                                     return false;
                                 });
    }
};

[[noreturn]] void usage_error(const std::string& msg) {
    std::fprintf(stderr, "dirsim: %s\n%s", msg.c_str(), kUsage);
    std::exit(2);
}

bool loopback_address(const std::string& a) { return a.compare(0, 4, "127.") == 0 || a == "::1" || a == "localhost"; }

}  // namespace

int main(int argc, char** argv) {
    int port = 8080;
    std::string bind_addr = "127.0.0.1";
    std::string data_path;
    long generate = -1;
    std::string log_path, ready_path, dump_query;
    bool dump = false;
    Server srv;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage_error(a + " needs a value");
            return argv[++i];
        };
        long n = 0;
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--port") {
            if (!parse_long(value(), &n) || n > 65535) usage_error("bad port");
            port = static_cast<int>(n);
        } else if (a == "--bind") {
            bind_addr = value();
            if (!loopback_address(bind_addr)) usage_error("only loopback addresses may be bound");
        } else if (a == "--data") {
            data_path = value();
        } else if (a == "--generate") {
            if (!parse_long(value(), &generate) || generate > 10000000) usage_error("bad station count");
        } else if (a == "--log") {
            log_path = value();
        } else if (a == "--ready") {
            ready_path = value();
        } else if (a == "--key") {
            srv.keys.insert(value());
        } else if (a == "--legacy-host") {
            srv.legacy_host = lower(value());
        } else if (a == "--keyed-host") {
            srv.keyed_host = lower(value());
        } else if (a == "--fault") {
            Fault f;
            if (!parse_fault(value(), &f)) usage_error("bad fault " + std::string(argv[i]));
            srv.faults.push_back(f);
        } else if (a == "--dump") {
            dump = true;
            dump_query = value();
        } else {
            usage_error("unknown option " + a);
        }
    }
    if (!data_path.empty() && generate >= 0) usage_error("--data and --generate exclude each other");
    if (srv.keys.empty()) srv.keys.insert("Lq3Vt8Nw5Rz1Hk6P");

    try {
        srv.stations = generate >= 0 ? generate_stations(generate)
                                     : load_stations(data_path.empty() ? DIRSIM_DEFAULT_DATA : data_path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dirsim: %s\n", e.what());
        return 1;
    }

    if (dump) {
        const size_t q = dump_query.find('?');
        const Answer a = listing(srv.stations, parse_query(q == std::string::npos ? dump_query : dump_query.substr(q + 1)),
                                 true, true);
        if (a.status != 200) {
            std::fprintf(stderr, "dirsim: %s", a.body.c_str());
            return 2;
        }
        std::fwrite(a.body.data(), 1, a.body.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    if (!log_path.empty()) {
        srv.log = std::fopen(log_path.c_str(), "a");
        if (srv.log == nullptr) {
            std::fprintf(stderr, "dirsim: cannot open %s: %s\n", log_path.c_str(), std::strerror(errno));
            return 1;
        }
    }

    // SIGTERM and SIGINT are taken by one thread with sigwait; every other
    // thread (the server's pool too) inherits the blocked mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    httplib::Server http;
    http.set_keep_alive_timeout(2);
    http.Get(".*", [&srv](const httplib::Request& req, httplib::Response& res) { srv.handle(req, res); });
    if (!http.bind_to_port(bind_addr, port)) {
        std::fprintf(stderr, "dirsim: cannot listen on %s:%d: %s\n", bind_addr.c_str(), port, std::strerror(errno));
        return 1;
    }
    if (!ready_path.empty()) {
        FILE* r = std::fopen(ready_path.c_str(), "w");
        if (r == nullptr) {
            std::fprintf(stderr, "dirsim: cannot create %s\n", ready_path.c_str());
            return 1;
        }
        std::fclose(r);
    }
    std::thread waiter([&] {
        int sig = 0;
        sigwait(&stop_signals, &sig);
        {
            std::lock_guard<std::mutex> lock(srv.mu);
            srv.stopping = true;
        }
        srv.stop_cv.notify_all();
        http.stop();
    });
    http.listen_after_bind();
    // listen ended without a signal (the socket failed): wake the waiter.
    bool stopped;
    {
        std::lock_guard<std::mutex> lock(srv.mu);
        stopped = srv.stopping;
    }
    if (!stopped) kill(getpid(), SIGTERM);
    waiter.join();
    if (srv.log != nullptr) std::fclose(srv.log);
    return 0;
}
