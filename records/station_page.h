// One directory page of up to 20 stations and its exchange file
// "/tmp/hdd/root/outfile_1" (205 lines), which the player's interface reads
// and GetStationChannelList reads back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

inline constexpr int kPageStations = 20;
inline constexpr int kGenres = 19;
inline constexpr const char kPageFile[] = "/tmp/hdd/root/outfile_1";

struct StationEntry {
    uint16_t index;        // 1-based row on its page; names the playlist cache
    char tuneinpath[61];   // playlist path: base "?id=" id ["&k=" key]
    char genre[40];
    char name[150];
    uint16_t lc;           // listener count
    uint16_t used;         // 1 in every filled row
    uint16_t br;           // bit rate
    char mt[10];           // media type, without its "/subtype"
};
static_assert(sizeof(StationEntry) == 270);
static_assert(offsetof(StationEntry, lc) == 254 && offsetof(StationEntry, mt) == 260);

struct StationPage {
    uint16_t pagenum;
    uint16_t pagetotal;     // pages of the listing plus one
    char prevpagehref[61];
    char nextpagehref[61];
    char genreprefix[61];
    char genrename[kGenres][40];
    char genrevalue[kGenres][40];
    StationEntry stations[kPageStations];
    uint16_t stationtotal;
    char pagefilename[100]; // cache path of the page without ".html"
};

// The one page record of the process.
extern StationPage station_page;

// Writes the page file (through a temporary file renamed into place).
// True when the whole file was written (no file is left behind otherwise).
bool write_page_file(const StationPage* page);
// Clears `page` and fills it from the page file. True when the file could be
// opened, however short.
bool read_page_file(StationPage* page);

// Reads the eight lines of one station (index, tuneinpath, genre, name, lc,
// used, br, mt) from `f`, as the page file and the favourite file carry it.
// A line that cannot be read leaves its field as it was; of a long line
// only what its field takes is read into memory.
void read_station_lines(FILE* f, StationEntry* st);
