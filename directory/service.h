// The directory service: its hosts, and the query and playlist URLs sent to
// it. Values are percent-encoded; a URL that does not fit is refused, never cut.
#pragma once

#include <cstddef>
#include <cstdint>

#include "build_settings.h"

// Set at build time (RADIODIR_LEGACY_HOST, RADIODIR_KEYED_HOST).
inline constexpr const char kLegacyHost[] = RADIODIR_LEGACY_HOST;  // playlists, and listings asked without a key
inline constexpr const char kKeyedHost[] = RADIODIR_KEYED_HOST;    // listings and searches with a key

inline constexpr int kPageSize = 20;
inline constexpr int kUrlSize = 256;

enum QueryMode : uint8_t { kModeAll = 0, kModeGenre = 1, kModeSearch = 2 };

// Every byte other than A-Z a-z 0-9 - . _ ~ as "%XX". True when it fitted.
bool percent_encode(char* dst, size_t size, const char* src);

// The URL of a whole listing for `mode` (genre or search text as the mode
// needs; a null `devKey` selects the legacy listing endpoint): what its
// total file is fetched from. A page of it adds "&limit=OFFSET,20".
// True when it fitted.
bool build_listing_url(char* url, size_t size, QueryMode mode, const char* devKey, const char* genre,
                       const char* search);

// "http://" legacy host, then `tuneinpath` up to its first CR or LF.
bool build_playlist_url(char* url, size_t size, const char* tuneinpath);
