#include "core/text.hpp"

#include <gtest/gtest.h>

namespace velmora::text {
namespace {

TEST(Text, Utf8RoundTrip) {
    const std::wstring samples[] = {L"", L"plain", L"\u00E9t\u00E9", L"\u65E5\u672C", L"\U0001F600 emoji", L"a\0b"};
    for (const auto& s : samples) EXPECT_EQ(FromUtf8(ToUtf8(s)), s) << ToUtf8(s);
    EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Text, MalformedUtf8BecomesReplacement) {
    struct Case {
        std::string bytes;
        std::wstring text;
    } cases[] = {
        {"\xFF", L"\uFFFD"},          {"a\xC3", L"a\uFFFD"},          {"\xC0\xAF", L"\uFFFD"},  // overlong
        {"\xED\xA0\x80", L"\uFFFD"},  // surrogate
        {"\xC3(", L"\uFFFD("},
    };
    for (const auto& c : cases) EXPECT_EQ(FromUtf8(c.bytes), c.text) << "bytes of length " << c.bytes.size();
}

TEST(Text, Utf16LittleEndian) {
    EXPECT_EQ(ToUtf16Le(L"A\u00E9"), std::string("A\0\xE9\0", 4));
    EXPECT_EQ(ToUtf16Le(L"\U0001F600"), std::string("\x3D\xD8\x00\xDE", 4));
}

TEST(Text, CaseMappingAndComparison) {
    EXPECT_EQ(Upper(L"abc\u00E9"), L"ABC\u00C9");
    EXPECT_EQ(Lower(L"ABC\u00C9"), L"abc\u00E9");
    EXPECT_EQ(UpperAscii(L"abc\u00E9"), L"ABC\u00E9");
    EXPECT_TRUE(SameText(L"TargetDir", L"TARGETDIR"));
    EXPECT_TRUE(SameText(L"caf\u00E9", L"CAF\u00C9"));
    EXPECT_FALSE(SameText(L"abc", L"abd"));
    EXPECT_FALSE(SameText(L"abc", L"abcd"));
    CaseInsensitiveHash hash;
    EXPECT_EQ(hash(L"{abcdef}"), hash(L"{ABCDEF}"));
    EXPECT_EQ(hash(L"caf\u00E9"), hash(L"CAF\u00C9"));
}

TEST(Text, SameTextAndHashAgreeOnEveryPath) {
    // ASCII on both sides, a difference before or after a character outside
    // ASCII, and lengths that differ.
    struct Case {
        std::wstring a, b;
        bool same;
    } const cases[] = {
        {L"", L"", true},
        {L"Name", L"nAME", true},
        {L"Name", L"Nama", false},
        {L"Nam", L"Name", false},
        {L"xé", L"XÉ", true},
        {L"xéy", L"XÉz", false},
        {L"ayé", L"AZÉ", false},
        {L"abé", L"ABÉ", true},
        {L"é", L"E", false},
        {L"éa", L"É", false},
    };
    CaseInsensitiveHash hash;
    for (const auto& c : cases) {
        EXPECT_EQ(SameText(c.a, c.b), c.same) << ToUtf8(c.a) << " / " << ToUtf8(c.b);
        EXPECT_EQ(SameText(c.b, c.a), c.same) << ToUtf8(c.b) << " / " << ToUtf8(c.a);
        if (c.same) {
            EXPECT_EQ(hash(c.a), hash(c.b)) << ToUtf8(c.a) << " / " << ToUtf8(c.b);
        }
    }
}

TEST(Text, DecimalText) {
    struct Case {
        std::int64_t value;
        std::wstring text;
    } const cases[] = {
        {0, L"0"},
        {7, L"7"},
        {-7, L"-7"},
        {1000000, L"1000000"},
        {4294967295LL, L"4294967295"},
        {4294967296LL, L"4294967296"},
        {-4294967296LL, L"-4294967296"},
        {INT64_MAX, L"9223372036854775807"},
        {INT64_MIN, L"-9223372036854775808"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToDecimal(c.value), c.text) << c.value;
}

TEST(Text, StrictDecimalIntegers) {
    struct Case {
        std::wstring text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {L"0", 0}, {L"-0", 0}, {L"+17", 17}, {L"2147483647", 2147483647}, {L"-2147483648", INT32_MIN},
        {L"2147483648", std::nullopt}, {L"", std::nullopt}, {L"-", std::nullopt}, {L" 1", std::nullopt},
        {L"1 ", std::nullopt}, {L"0x10", std::nullopt}, {L"$10", std::nullopt}, {L"1e3", std::nullopt},
        {L"-2147483649", std::nullopt}, {L"2147483640", 2147483640}, {L"-2147483639", -2147483639},
        {L"21474836470", std::nullopt}, {L"0002147483647", 2147483647},
        // Around the ninth digit, where reading changes from 32 to full width.
        {L"999999999", 999999999}, {L"-1000000000", -1000000000}, {L"12345678x", std::nullopt},
        {L"123456789x", std::nullopt}, {L"1234567890x", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInt32(c.text), c.value) << ToUtf8(c.text);
    EXPECT_EQ(ParseInt64(L"9999999999"), 9999999999);
    EXPECT_EQ(ParseInt64(L"-0000000009223372036854775808"), INT64_MIN);
    EXPECT_EQ(ParseInt64(L"123456789x"), std::nullopt);
    EXPECT_EQ(ParseInt64(L"-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(ParseInt64(L"9223372036854775808"), std::nullopt);
    EXPECT_EQ(ToDecimal(INT64_MIN), L"-9223372036854775808");
}

}  // namespace
}  // namespace velmora::text
