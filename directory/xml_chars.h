// Bytes as TinyXML's parser sees them (UTF-8 mode, C locale), for the code
// that follows its parse without running it: the station count's scanner
// (total_count.cpp) and the bounds check (xml_bounds.cpp). Functions of a
// byte 0-255; -1 (past the end) is no space, letter or name byte.
#pragma once

namespace xml_chars {

// Bytes TinyXML takes as one character in UTF-8 mode (its lead-byte table):
// 2 for C2-DF, 3 for E0-EF, 4 for F0-F4, 1 for everything else. It steps over
// the following bytes without looking at them.
inline int char_len(unsigned char c) {
    if (c < 0xC2) return 1;
    if (c < 0xE0) return 2;
    if (c < 0xF0) return 3;
    if (c < 0xF5) return 4;
    return 1;
}

// isspace in the C locale, which is what TinyXML calls.
inline bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// TinyXML's IsAlpha and IsAlphaNum: every byte from 127 up is a letter.
inline bool is_alpha(int c) { return c >= 127 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool is_digit(int c) { return c >= '0' && c <= '9'; }
inline bool is_alnum(int c) { return is_alpha(c) || is_digit(c); }
inline bool is_hex(int c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
// ReadName: a letter or "_", then letters, digits, "_", "-", "." and ":".
inline bool is_name_start(int c) { return c >= 0 && (is_alpha(c) || c == '_'); }
inline bool is_name_char(int c) { return c >= 0 && (is_alnum(c) || c == '_' || c == '-' || c == '.' || c == ':'); }

}  // namespace xml_chars
