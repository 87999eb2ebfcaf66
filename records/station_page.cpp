#include "records/station_page.h"

#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/safe_files.h"
#include "platform/text.h"

StationPage station_page;

namespace {

void put_number(FILE* f, unsigned value) { std::fprintf(f, "%d\n", static_cast<int>(value)); }
// Bounded by the field, so a field without its terminator cannot run over.
template <size_t N>
void put_text(FILE* f, const char (&text)[N]) {
    std::fprintf(f, "%.*s\n", static_cast<int>(N), text);
}

void put_station(FILE* f, const StationEntry& s) {
    put_number(f, s.index);
    put_text(f, s.tuneinpath);
    put_text(f, s.genre);
    put_text(f, s.name);
    put_number(f, s.lc);
    put_number(f, s.used);
    put_number(f, s.br);
    put_text(f, s.mt);
}

// A line longer than its field is cut: only what the field can take is
// kept, the rest of the line is skipped. Number lines hold blanks, a sign
// and digits; a page file's name line the name and its line feed (echoed
// as read).
constexpr size_t kNumberLine = 32;
constexpr size_t kNameLine = sizeof StationPage::pagefilename + 1;

// The next line of `f`: its first size - 1 bytes, the line feed included
// when it is among them, zero-terminated. False once the file has no more
// lines.
bool next_line(FILE* f, char* buf, size_t size) {
    int c = getc_unlocked(f);
    if (c == EOF) return false;
    size_t n = 0;
    for (; c != EOF; c = getc_unlocked(f)) {
        if (n + 1 < size) buf[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buf[n] = '\0';
    return true;
}

void get_number(FILE* f, uint16_t* field) {
    char line[kNumberLine];
    if (next_line(f, line, sizeof line)) *field = atoi_u16(line);
}

// The line as read, its line feed included when it fits, cut to the field.
template <size_t N>
void get_text(FILE* f, char (&field)[N]) {
    char line[N];
    if (next_line(f, line, N)) copy_text(field, line, N);
}

}  // namespace

void read_station_lines(FILE* f, StationEntry* st) {
    get_number(f, &st->index);
    get_text(f, st->tuneinpath);
    get_text(f, st->genre);
    get_text(f, st->name);
    get_number(f, &st->lc);
    get_number(f, &st->used);
    get_number(f, &st->br);
    get_text(f, st->mt);
}

bool write_page_file(const StationPage* page) {
    AtomicFile out;
    if (!atomic_open(&out, kPageFile)) return false;
    FILE* f = out.file;
    put_number(f, page->pagenum);
    put_number(f, page->pagetotal);
    put_text(f, page->prevpagehref);
    put_text(f, page->nextpagehref);
    put_text(f, page->genreprefix);
    for (const auto& g : page->genrename) put_text(f, g);
    for (const auto& g : page->genrevalue) put_text(f, g);
    for (const auto& s : page->stations) put_station(f, s);
    put_number(f, page->stationtotal);
    put_text(f, page->pagefilename);
    std::printf("pagefilename = '%s'\n", page->pagefilename);
    return atomic_commit(&out);
}

bool read_page_file(StationPage* page) {
    std::memset(page, 0, sizeof *page);
    FilePtr f(fopen_regular(kPageFile));
    if (!f) return false;
    FILE* in = f.get();
    get_number(in, &page->pagenum);
    get_number(in, &page->pagetotal);
    get_text(in, page->prevpagehref);
    get_text(in, page->nextpagehref);
    get_text(in, page->genreprefix);
    for (auto& g : page->genrename) get_text(in, g);
    for (auto& g : page->genrevalue) get_text(in, g);
    for (auto& s : page->stations) read_station_lines(in, &s);
    get_number(in, &page->stationtotal);
    char line[kNameLine];
    if (next_line(in, line, sizeof line)) {
        std::printf("pagefilename line='%s'\n", line);
        copy_text(page->pagefilename, line, sizeof page->pagefilename);
        if (char* nl = std::strchr(page->pagefilename, '\n')) std::memset(nl, 0, page->pagefilename + sizeof page->pagefilename - nl);
        std::printf("pagefilename='%s'\n", page->pagefilename);
    }
    return true;
}
