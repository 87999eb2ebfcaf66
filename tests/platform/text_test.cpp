// The text and number routines: cursor and offset rules of the search, the
// exact byte counts of the copies, the wrapping parsers, the bounded forms
// and the UTF-8 aware cuts.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr char kFill = 0x7f;  // marks bytes that a routine must not touch

// A buffer of `n` fill bytes.
std::string filled(size_t n) { return std::string(n, kFill); }

TEST(VxStrFind, MatchAtStartLeavesCursorAtText) {
    const char text[] = "startat=40";
    const char* cursor = nullptr;
    EXPECT_EQ(VxStrFind(text, "startat=", &cursor), 0);
    EXPECT_EQ(cursor, text);
}

TEST(VxStrFind, NoMatchLeavesCursorAtTerminator) {
    const char text[] = "sgenre=Pop";
    const char* cursor = nullptr;
    EXPECT_EQ(VxStrFind(text, "startat=", &cursor), -1);
    EXPECT_EQ(cursor, text + std::strlen(text));
}

TEST(VxStrFind, FirstOfTwoOccurrencesWins) {
    const char text[] = "x&startat=1&startat=2";
    const char* cursor = nullptr;
    EXPECT_EQ(VxStrFind(text, "startat=", &cursor), 2);
    EXPECT_EQ(cursor, text + 2);
    EXPECT_STREQ(cursor, "startat=1&startat=2");
}

TEST(VxStrFind, EmptyTextOrPatternNeverMatches) {
    const char empty[] = "";
    const char text[] = "abc";
    const char* cursor = nullptr;
    EXPECT_EQ(VxStrFind(empty, "a", &cursor), -1);
    EXPECT_EQ(cursor, empty);
    EXPECT_EQ(VxStrFind(text, "", &cursor), -1);
    EXPECT_EQ(cursor, text + 3);
    EXPECT_EQ(VxStrFind(empty, "", &cursor), -1);
}

TEST(VxStrFind, MatchMayNotRunPastTheTerminator) {
    const char text[] = "abc";
    const char* cursor = nullptr;
    EXPECT_EQ(VxStrFind(text, "cd", &cursor), -1);
    EXPECT_EQ(cursor, text + 3);
    EXPECT_EQ(VxStrFind(text, "abcd", &cursor), -1);
    // A partial match earlier does not hide a full one later.
    const char repeated[] = "aab";
    EXPECT_EQ(VxStrFind(repeated, "ab", &cursor), 1);
}

TEST(VxStrFind, IsCaseSensitive) {
    const char text[] = "[Playlist] [playlist]";
    const char* cursor = nullptr;
    EXPECT_EQ(VxStrFind(text, "[playlist]", &cursor), 11);
}

TEST(VxStrCopyN, ShortSourceIsZeroFilledToTheCount) {
    std::string buf = filled(8);
    VxStrCopyN(buf.data(), "abc", 5);
    EXPECT_EQ(buf, std::string("abc\0\0", 5) + filled(3));
}

TEST(VxStrCopyN, SourceOfCountBytesGetsNoTerminator) {
    std::string buf = filled(8);
    VxStrCopyN(buf.data(), "abcde", 5);
    EXPECT_EQ(buf, "abcde" + filled(3));
    buf = filled(8);
    VxStrCopyN(buf.data(), "abcdefgh", 3);
    EXPECT_EQ(buf, "abc" + filled(5));
}

TEST(VxStrCopyN, CountZeroWritesNothing) {
    std::string buf = filled(4);
    VxStrCopyN(buf.data(), "abc", 0);
    EXPECT_EQ(buf, filled(4));
}

TEST(VxStrCopy, ReturnsTheTerminatorSoCopiesChain) {
    std::string buf = filled(12);
    char* end = VxStrCopy(buf.data(), "ab");
    EXPECT_EQ(end, buf.data() + 2);
    end = VxStrCopy(end, "cde");
    EXPECT_EQ(end, buf.data() + 5);
    // The text, one terminator and not a byte more.
    EXPECT_EQ(buf, std::string("abcde\0", 6) + filled(6));
}

TEST(VxStrAppend, AppendsOverTheTerminatorAndReturnsTheNewOne) {
    char buf[16] = "path";
    char* end = VxStrAppend(buf, "/irf");
    EXPECT_STREQ(buf, "path/irf");
    EXPECT_EQ(end, buf + 8);
    EXPECT_EQ(VxStrAppend(buf, ""), buf + 8);
    EXPECT_STREQ(buf, "path/irf");
}

TEST(VxStrAppend, OntoEmptyTextEqualsCopy) {
    std::string a = filled(8), b = filled(8);
    a[0] = '\0';
    char* end_append = VxStrAppend(a.data(), "xyz");
    char* end_copy = VxStrCopy(b.data(), "xyz");
    EXPECT_EQ(a, b);
    EXPECT_EQ(end_append - a.data(), end_copy - b.data());
}

TEST(VxMemset, UsesTheLowEightBitsAndReturnsTheDestination) {
    std::string buf = filled(6);
    EXPECT_EQ(VxMemset(buf.data() + 1, 0x141, 3), buf.data() + 1);
    EXPECT_EQ(buf, std::string(1, kFill) + "AAA" + filled(2));
    EXPECT_EQ(VxStrLen(""), 0);
    EXPECT_EQ(VxStrLen("abc"), 3);
}

uint8_t u8(const char* text) {
    uint8_t v = 99;
    VxParseUInt8(text, &v);
    return v;
}

int16_t i16(const char* text) {
    int16_t v = 99;
    VxParseInt16(text, &v);
    return v;
}

TEST(VxParseUInt8, ReadsBlanksSignAndDigitsWithWrapAround) {
    EXPECT_EQ(u8("  12"), 12);
    EXPECT_EQ(u8("+7"), 7);
    EXPECT_EQ(u8("- 3"), 253);  // -3 modulo 256
    EXPECT_EQ(u8("  -  3"), 253);
    EXPECT_EQ(u8("300"), 44);
    EXPECT_EQ(u8("256"), 0);
    EXPECT_EQ(u8("255"), 255);
    EXPECT_EQ(u8("abc"), 0);
    EXPECT_EQ(u8(""), 0);
    EXPECT_EQ(u8("4x2"), 4);
    EXPECT_EQ(u8("12\n"), 12);
    EXPECT_EQ(u8("1 2"), 1);  // blanks only before and after the sign
}

TEST(VxParseInt16, WrapsInSixteenBits) {
    EXPECT_EQ(i16("-20"), -20);
    EXPECT_EQ(i16("32767"), 32767);
    EXPECT_EQ(i16("32768"), -32768);
    EXPECT_EQ(i16("65536"), 0);
    EXPECT_EQ(i16("70000"), 4464);  // 70000 - 65536
    EXPECT_EQ(i16("-32769"), 32767);
    EXPECT_EQ(i16("40&sgenre=Pop"), 40);
    // Every step wraps, so a very long number is still its value mod 65536.
    EXPECT_EQ(i16("1000000000000000000001"), 1);
}

TEST(VxSkipSpaces, SkipsBlanksOnlyNotTabsOrLineEnds) {
    EXPECT_EQ(u8("\t5"), 0);
    EXPECT_EQ(i16("\n5"), 0);
    EXPECT_EQ(i16("\r5"), 0);
    const char text[] = "   \tx";
    const char* cursor = text;
    VxSkipSpaces(&cursor);
    EXPECT_EQ(cursor, text + 3);
}

TEST(VxParseSign, MovesPastASignOnly) {
    const char plus[] = "+1", minus[] = "-1", digit[] = "1", blank[] = " -";
    const char* c = plus;
    EXPECT_EQ(VxParseSign(&c), 1);
    EXPECT_EQ(c, plus + 1);
    c = minus;
    EXPECT_EQ(VxParseSign(&c), 0);
    EXPECT_EQ(c, minus + 1);
    c = digit;
    EXPECT_EQ(VxParseSign(&c), 1);
    EXPECT_EQ(c, digit);
    c = blank;
    EXPECT_EQ(VxParseSign(&c), 1);
    EXPECT_EQ(c, blank);
}

TEST(VxStrCopyZ, CutsWithinSizeAndTellsWhetherItFitted) {
    std::string buf = filled(8);
    EXPECT_EQ(VxStrCopyZ(buf.data(), "abc", 4), 1);
    EXPECT_EQ(buf, std::string("abc\0", 4) + filled(4));
    buf = filled(8);
    EXPECT_EQ(VxStrCopyZ(buf.data(), "abcd", 4), 0);
    EXPECT_EQ(buf, std::string("abc\0", 4) + filled(4));
    buf = filled(2);
    EXPECT_EQ(VxStrCopyZ(buf.data(), "a", 1), 0);
    EXPECT_EQ(buf, std::string("\0", 1) + filled(1));
    EXPECT_EQ(VxStrCopyZ(buf.data(), "", 1), 1);
}

TEST(VxStrAppendZ, AppendsWithinSize) {
    std::string buf = filled(10);
    VxStrCopyZ(buf.data(), "ab", 6);
    EXPECT_EQ(VxStrAppendZ(buf.data(), "cd", 6), 1);
    EXPECT_EQ(buf.substr(0, 5), std::string("abcd\0", 5));
    EXPECT_EQ(VxStrAppendZ(buf.data(), "efg", 6), 0);
    EXPECT_EQ(buf, std::string("abcde\0", 6) + filled(4));
    // A full buffer takes nothing more, not even an empty text's terminator
    // beyond its end.
    EXPECT_EQ(VxStrAppendZ(buf.data(), "x", 6), 0);
    EXPECT_EQ(buf, std::string("abcde\0", 6) + filled(4));
    EXPECT_EQ(VxStrAppendZ(buf.data(), "", 6), 1);
}

TEST(VxStrAppendZ, UnterminatedDestinationIsLeftAlone) {
    std::string buf = "abcd" + filled(4);
    EXPECT_EQ(VxStrAppendZ(buf.data(), "x", 4), 0);
    EXPECT_EQ(buf, "abcd" + filled(4));
}

TEST(VxFormat, FormatsWithinSize) {
    std::string buf = filled(10);
    EXPECT_EQ(VxFormat(buf.data(), 8, "Page%d", 12), 1);
    EXPECT_EQ(buf.substr(0, 7), std::string("Page12\0", 7));
    buf = filled(10);
    EXPECT_EQ(VxFormat(buf.data(), 8, "Page%d", 12345), 0);
    EXPECT_EQ(buf, std::string("Page123\0", 8) + filled(2));
    // Exactly size - 1 characters still fit.
    EXPECT_EQ(VxFormat(buf.data(), 8, "%s", "1234567"), 1);
    EXPECT_EQ(VxFormat(buf.data(), 8, "%s", "12345678"), 0);
}

// "é" is 2 bytes, "€" 3, "𝄞" (U+1D11E) 4.
constexpr char kE2[] = "\xc3\xa9";
constexpr char kE3[] = "\xe2\x82\xac";
constexpr char kE4[] = "\xf0\x9d\x84\x9e";

TEST(Utf8PrefixLen, WholeTextWhenItFits) {
    EXPECT_EQ(utf8_prefix_len("abc", 5), 3u);
    EXPECT_EQ(utf8_prefix_len("abc", 3), 3u);
    EXPECT_EQ(utf8_prefix_len((std::string("ab") + kE4).c_str(), 6), 6u);
    EXPECT_EQ(utf8_prefix_len("", 0), 0u);
}

TEST(Utf8PrefixLen, CutsBeforeACharacterThatDoesNotFit) {
    for (const char* ch : {kE2, kE3, kE4}) {
        const std::string text = std::string("ab") + ch + "z";
        const size_t clen = std::strlen(ch);
        SCOPED_TRACE(clen);
        // Every cut inside the character drops it whole.
        for (size_t max = 3; max < 2 + clen; ++max) EXPECT_EQ(utf8_prefix_len(text.c_str(), max), 2u) << max;
        // A cut right behind it keeps it.
        EXPECT_EQ(utf8_prefix_len(text.c_str(), 2 + clen), 2 + clen);
        EXPECT_EQ(utf8_prefix_len(text.c_str(), 2), 2u);
    }
}

TEST(Utf8PrefixLen, CharacterAtTheVeryStart) {
    const std::string text = std::string(kE3) + "x";
    EXPECT_EQ(utf8_prefix_len(text.c_str(), 1), 0u);
    EXPECT_EQ(utf8_prefix_len(text.c_str(), 2), 0u);
    EXPECT_EQ(utf8_prefix_len(text.c_str(), 3), 3u);
}

TEST(Utf8PrefixLen, InvalidBytesCountAsSingleCharacters) {
    // Stray continuation bytes.
    EXPECT_EQ(utf8_prefix_len("a\x80\x80\x80\x80\x80z", 3), 3u);
    EXPECT_EQ(utf8_prefix_len("\x80\x80\x80\x80", 2), 2u);
    // A complete character followed by a stray continuation byte.
    EXPECT_EQ(utf8_prefix_len("\xc3\xa9\x80z", 2), 2u);
    EXPECT_EQ(utf8_prefix_len("\xc3\xa9\x80z", 3), 3u);
    // A lead byte whose sequence is broken off before the cut.
    EXPECT_EQ(utf8_prefix_len("a\xe2" "bc", 2), 2u);
    EXPECT_EQ(utf8_prefix_len("\xe0\x41\x80z", 2), 2u);
    // Bytes that never lead a sequence: overlong leads, beyond U+10FFFF.
    EXPECT_EQ(utf8_prefix_len("\xc0\x80z", 1), 1u);
    EXPECT_EQ(utf8_prefix_len("\xf5\x80\x80\x80z", 2), 2u);
    EXPECT_EQ(utf8_prefix_len("\xff\xfe", 1), 1u);
}

TEST(Utf8CopyField, CutsOnABoundaryAndZeroFills) {
    // A 6-byte field holds 5 bytes: "abc" and a 2-byte character fit, a
    // 3-byte one does not.
    std::string field = filled(8);
    EXPECT_EQ(utf8_copy_field(field.data(), (std::string("abc") + kE2).c_str(), 6), 1);
    EXPECT_EQ(field, std::string("abc\xc3\xa9\0", 6) + filled(2));
    field = filled(8);
    EXPECT_EQ(utf8_copy_field(field.data(), (std::string("abc") + kE3).c_str(), 6), 0);
    EXPECT_EQ(field, std::string("abc\0\0\0", 6) + filled(2));
    field = filled(8);
    EXPECT_EQ(utf8_copy_field(field.data(), (std::string("a") + kE4 + "b").c_str(), 6), 0);
    EXPECT_EQ(field, std::string("a\xf0\x9d\x84\x9e\0", 6) + filled(2));
    field = filled(8);
    EXPECT_EQ(utf8_copy_field(field.data(), "", 6), 1);
    EXPECT_EQ(field, std::string(6, '\0') + filled(2));
    field = filled(8);
    EXPECT_EQ(utf8_copy_field(field.data(), "abcdefgh", 6), 0);
    EXPECT_EQ(field, std::string("abcde\0", 6) + filled(2));
}

TEST(AtoiU16, KeepsTheLowSixteenBitsOfAtoi) {
    EXPECT_EQ(atoi_u16("3"), 3);
    EXPECT_EQ(atoi_u16("abc"), 0);
    EXPECT_EQ(atoi_u16(""), 0);
    EXPECT_EQ(atoi_u16("65535"), 65535);
    EXPECT_EQ(atoi_u16("65536"), 0);
    EXPECT_EQ(atoi_u16("65537"), 1);
    EXPECT_EQ(atoi_u16("-1"), 65535);
    EXPECT_EQ(atoi_u16("-65535"), 1);
    EXPECT_EQ(atoi_u16(" \t\n+12x"), 12);
    EXPECT_EQ(atoi_u16("- 1"), 0);
}

TEST(AtoiU16, SaturatesLikeAThirtyTwoBitAtoi) {
    // 2147483647 = 0x7fffffff, -2147483648 = 0x80000000.
    EXPECT_EQ(atoi_u16("2147483647"), 0xffff);
    EXPECT_EQ(atoi_u16("2147483648"), 0xffff);
    EXPECT_EQ(atoi_u16("99999999999999999999999"), 0xffff);
    EXPECT_EQ(atoi_u16("-2147483648"), 0);
    EXPECT_EQ(atoi_u16("-2147483649"), 0);
    EXPECT_EQ(atoi_u16("-99999999999999999999999"), 0);
    EXPECT_EQ(atoi_u16("4294967297"), 0xffff);  // not wrapped to 1
}

TEST(Fnv1a32, KnownVectors) {
    EXPECT_EQ(fnv1a32("", 0), 0x811c9dc5u);
    EXPECT_EQ(fnv1a32("a", 1), 0xe40c292cu);
    EXPECT_EQ(fnv1a32("foobar", 6), 0xbf9cf968u);
    // Only the first `len` bytes count.
    EXPECT_EQ(fnv1a32("foobar\n", 6), 0xbf9cf968u);
    // Bytes above 0x7f are taken unsigned.
    EXPECT_EQ(fnv1a32("\xff", 1), 0x7a0b824eu);
}

}  // namespace
