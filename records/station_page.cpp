#include "records/station_page.h"

#include <cstdio>
#include <cstdlib>
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

// One line per field; false once the file has no more lines.
bool next_line(FILE* f, char** line, size_t* cap) { return getline(line, cap, f) >= 0; }

void get_number(FILE* f, char** line, size_t* cap, uint16_t* field) {
    if (next_line(f, line, cap)) *field = atoi_u16(*line);
}

// The line as read, its line feed included when it fits, cut to the field.
template <size_t N>
void get_text(FILE* f, char** line, size_t* cap, char (&field)[N]) {
    if (next_line(f, line, cap)) copy_text(field, *line, N);
}

}  // namespace

void read_station_lines(FILE* f, StationEntry* st, char** line, size_t* cap) {
    get_number(f, line, cap, &st->index);
    get_text(f, line, cap, st->tuneinpath);
    get_text(f, line, cap, st->genre);
    get_text(f, line, cap, st->name);
    get_number(f, line, cap, &st->lc);
    get_number(f, line, cap, &st->used);
    get_number(f, line, cap, &st->br);
    get_text(f, line, cap, st->mt);
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
    char* line = nullptr;
    size_t cap = 0;
    FILE* in = f.get();
    get_number(in, &line, &cap, &page->pagenum);
    get_number(in, &line, &cap, &page->pagetotal);
    get_text(in, &line, &cap, page->prevpagehref);
    get_text(in, &line, &cap, page->nextpagehref);
    get_text(in, &line, &cap, page->genreprefix);
    for (auto& g : page->genrename) get_text(in, &line, &cap, g);
    for (auto& g : page->genrevalue) get_text(in, &line, &cap, g);
    for (auto& s : page->stations) read_station_lines(in, &s, &line, &cap);
    get_number(in, &line, &cap, &page->stationtotal);
    if (next_line(in, &line, &cap)) {
        std::printf("pagefilename line='%s'\n", line);
        copy_text(page->pagefilename, line, sizeof page->pagefilename);
        if (char* nl = std::strchr(page->pagefilename, '\n')) std::memset(nl, 0, page->pagefilename + sizeof page->pagefilename - nl);
        std::printf("pagefilename='%s'\n", page->pagefilename);
    }
    std::free(line);
    return true;
}
