// The text and number routines: the search's cursor and offset, the wrapping
// parsers, the bounded copies and the UTF-8 aware cuts, each byte of the
// destination accounted for.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/utf8.h"

namespace {

constexpr char kFill = 0x7f;  // marks bytes that a routine must not touch

std::string filled(size_t n) { return std::string(n, kFill); }

TEST(VxStrFind, OffsetAndCursor) {
    struct Case {
        const char* text;
        const char* pattern;
        int32_t offset;  // the cursor stands there, or at the terminator for -1
    };
    for (const Case& c : {Case{"startat=40", "startat=", 0}, Case{"sgenre=Pop", "startat=", -1},
                          Case{"x&startat=1&startat=2", "startat=", 2}, Case{"", "a", -1}, Case{"abc", "", -1},
                          Case{"", "", -1}, Case{"abc", "cd", -1}, Case{"abc", "abcd", -1}, Case{"aab", "ab", 1},
                          Case{"[Playlist] [playlist]", "[playlist]", 11}}) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
        const char* cursor = nullptr;
        EXPECT_EQ(VxStrFind(c.text, c.pattern, &cursor), c.offset);
        EXPECT_EQ(cursor, c.text + (c.offset >= 0 ? c.offset : static_cast<int32_t>(std::strlen(c.text))));
    }
}

TEST(VxParse, BlanksSignAndDigitsWrapInTheResultsWidth) {
    struct Case {
        const char* text;
        uint8_t u8;
        int16_t i16;
    };
    for (const Case& c : {Case{"  12", 12, 12}, Case{"+7", 7, 7}, Case{"- 3", 253, -3}, Case{"  -  3", 253, -3},
                          Case{"300", 44, 300}, Case{"256", 0, 256}, Case{"abc", 0, 0}, Case{"", 0, 0},
                          Case{"4x2", 4, 4}, Case{"12\n", 12, 12}, Case{"1 2", 1, 1}, Case{"\t5", 0, 0},
                          Case{"\n5", 0, 0}, Case{"32768", 0, -32768}, Case{"70000", 112, 4464},
                          Case{"-32769", 255, 32767}, Case{"40&sgenre=Pop", 40, 40},
                          Case{"1000000000000000000001", 1, 1}}) {
        SCOPED_TRACE(c.text);
        uint8_t u = 99;
        int16_t i = 99;
        VxParseUInt8(c.text, &u);
        VxParseInt16(c.text, &i);
        EXPECT_EQ(u, c.u8);
        EXPECT_EQ(i, c.i16);
    }
}

TEST(BoundedCopies, CutWithinSizeAndTellWhetherTheTextFitted) {
    std::string buf = filled(8);
    EXPECT_TRUE(copy_text(buf.data(), "abc", 4));
    EXPECT_EQ(buf, std::string("abc\0", 4) + filled(4));
    EXPECT_FALSE(copy_text(buf.data(), "abcd", 4));
    EXPECT_EQ(buf, std::string("abc\0", 4) + filled(4));
    EXPECT_FALSE(copy_text(buf.data(), "a", 1));
    EXPECT_EQ(buf[0], '\0');

    buf = filled(10);
    copy_text(buf.data(), "ab", 6);
    EXPECT_TRUE(append_text(buf.data(), "cd", 6));
    EXPECT_FALSE(append_text(buf.data(), "efg", 6));
    EXPECT_EQ(buf, std::string("abcde\0", 6) + filled(4));
    // A full buffer takes nothing more; an unterminated one is left alone.
    EXPECT_FALSE(append_text(buf.data(), "x", 6));
    EXPECT_TRUE(append_text(buf.data(), "", 6));
    EXPECT_EQ(buf, std::string("abcde\0", 6) + filled(4));
    buf = "abcd" + filled(4);
    EXPECT_FALSE(append_text(buf.data(), "x", 4));
    EXPECT_EQ(buf, "abcd" + filled(4));

    buf = filled(10);
    EXPECT_FALSE(format_text(buf.data(), 8, "Page%d", 12345));
    EXPECT_EQ(buf, std::string("Page123\0", 8) + filled(2));
    EXPECT_TRUE(format_text(buf.data(), 8, "%s", "1234567"));  // size - 1 characters fit
}

// "é" is 2 bytes, "€" 3, "𝄞" (U+1D11E) 4.
constexpr char kE2[] = "\xc3\xa9";
constexpr char kE3[] = "\xe2\x82\xac";
constexpr char kE4[] = "\xf0\x9d\x84\x9e";

TEST(Utf8PrefixLen, CutsOnlyBetweenCharacters) {
    struct Case {
        std::string text;
        size_t max;
        size_t len;
    };
    const Case cases[] = {
        {"abc", 5, 3}, {"abc", 3, 3}, {std::string("ab") + kE4, 6, 6}, {"", 0, 0},
        // A character at the start that does not fit goes whole.
        {std::string(kE3) + "x", 1, 0}, {std::string(kE3) + "x", 2, 0}, {std::string(kE3) + "x", 3, 3},
        // Invalid bytes count as single characters: stray continuation
        // bytes, a lead byte broken off before the cut, bytes that never lead.
        {"a\x80\x80\x80\x80\x80z", 3, 3}, {"\x80\x80\x80\x80", 2, 2}, {"\xc3\xa9\x80z", 2, 2},
        {"\xc3\xa9\x80z", 3, 3}, {"a\xe2" "bc", 2, 2}, {"\xe0\x41\x80z", 2, 2}, {"\xc0\x80z", 1, 1},
        {"\xf5\x80\x80\x80z", 2, 2}, {"\xff\xfe", 1, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(utf8_prefix_len(c.text.c_str(), c.max), c.len) << c.text << " " << c.max;
    for (const char* ch : {kE2, kE3, kE4}) {
        const std::string text = std::string("ab") + ch + "z";
        const size_t clen = std::strlen(ch);
        for (size_t max = 2; max < 2 + clen; ++max) EXPECT_EQ(utf8_prefix_len(text.c_str(), max), 2u) << max;
        EXPECT_EQ(utf8_prefix_len(text.c_str(), 2 + clen), 2 + clen);
    }
}

TEST(Utf8CopyField, CutsOnABoundaryAndZeroFills) {
    // A 6-byte field holds 5 bytes.
    struct Case {
        std::string src;
        bool whole;
        std::string field;
    };
    for (const Case& c : {Case{std::string("abc") + kE2, true, std::string("abc\xc3\xa9\0", 6)},
                          Case{std::string("abc") + kE3, false, std::string("abc\0\0\0", 6)},
                          Case{std::string("a") + kE4 + "b", false, std::string("a\xf0\x9d\x84\x9e\0", 6)},
                          Case{"", true, std::string(6, '\0')},
                          Case{"abcdefgh", false, std::string("abcde\0", 6)}}) {
        std::string field = filled(8);
        EXPECT_EQ(utf8_copy_field(field.data(), c.src.c_str(), 6), c.whole) << c.src;
        EXPECT_EQ(field, c.field + filled(2)) << c.src;
    }
}

TEST(AtoiU16, TheLowSixteenBitsOfAThirtyTwoBitAtoi) {
    struct Case {
        const char* text;
        uint16_t value;
    };
    for (const Case& c : {Case{"3", 3}, Case{"abc", 0}, Case{"", 0}, Case{"65535", 65535}, Case{"65536", 0},
                          Case{"65537", 1}, Case{"-1", 65535}, Case{"-65535", 1}, Case{" \t\n+12x", 12},
                          Case{"- 1", 0},
                          // 2147483647 = 0x7fffffff and -2147483648 = 0x80000000: saturated, not wrapped.
                          Case{"2147483647", 0xffff}, Case{"2147483648", 0xffff},
                          Case{"99999999999999999999999", 0xffff}, Case{"-2147483648", 0}, Case{"-2147483649", 0},
                          Case{"-99999999999999999999999", 0}, Case{"4294967297", 0xffff}})
        EXPECT_EQ(atoi_u16(c.text), c.value) << c.text;
}

TEST(Fnv1a32, KnownVectors) {
    EXPECT_EQ(fnv1a32("", 0), 0x811c9dc5u);
    EXPECT_EQ(fnv1a32("a", 1), 0xe40c292cu);
    EXPECT_EQ(fnv1a32("foobar\n", 6), 0xbf9cf968u);  // only the first `len` bytes
    EXPECT_EQ(fnv1a32("\xff", 1), 0x7a0b824eu);      // bytes above 0x7f unsigned
}

}  // namespace
