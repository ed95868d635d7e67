#include "general_tools/StringFunctions.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(FormatString, CutsAt509Characters) {
    const std::string longText(600, 'x');
    struct Case {
        std::size_t width;
        std::size_t expected;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {508, 508}, {509, 509}, {510, 509}, {511, 509}, {600, 509}, {5000, 509}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const std::string text = GT::FormatString("%.*s", static_cast<int>(c.width), std::string(c.width, 'y').c_str());
        EXPECT_EQ(text, std::string(c.expected, 'y'));
    }
    // The first 509 characters exactly, not the last ones.
    const std::string mixed = GT::FormatString("<%s|%d>", longText.c_str(), 42);
    EXPECT_EQ(mixed, "<" + longText.substr(0, 508));
    EXPECT_EQ(GT::FormatString("%s=%d", "n", -7), "n=-7");
}

TEST(FormatString, NullFormatGivesEmptyText) {
    va_list none;
    const auto call = [&](const char* format, ...) {
        va_start(none, format);
        const std::string text = GT::FormatStringV(format, none);
        va_end(none);
        return text;
    };
    EXPECT_EQ(call(nullptr), "");
    EXPECT_EQ(call("%d-%s", 5, "a"), "5-a");
}

TEST(CaseMapping, EveryByteOnItsOwn) {
    EXPECT_EQ(GT::ToUpper("abc.wav"), "ABC.WAV");
    EXPECT_EQ(GT::ToLower("MiXeD 123"), "mixed 123");
    const std::string withHighBytes("\xe3\x81\x82z", 4);  // bytes above 0x7F pass through in the C locale
    EXPECT_EQ(GT::ToUpper(withHighBytes), std::string("\xe3\x81\x82Z", 4));
}

TEST(Trim, SpaceTabAndLineFeedOnly) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {{"  a b\t\n", "a b"}, {"\t\n ", ""}, {"", ""},
                          {"\ra\r", "\ra\r"},   {"x", "x"},    {" \n x", "x"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(GT::Trim(c.in), c.out);
        std::string result = "old";
        EXPECT_EQ(GT::Trim(c.in, result), *c.out != '\0');
        EXPECT_EQ(result, c.out);
    }
}

TEST(Mid, PositionsAndCountsClampToTheText) {
    struct Case {
        int position, count;
        const char* expected;
    };
    const Case cases[] = {
        {-2, 4, "ab"},          {3, 10, "de"},       {7, 1, ""},   {1, -1, "bcde"},
        {0, 5, "abcde"},        {2, 0, ""},          {1, 2, "bc"}, {INT_MAX, INT_MAX, ""},
        {INT_MIN, INT_MAX, ""}, {2, INT_MIN, "cde"}, {-1, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.position << ", " << c.count);
        EXPECT_EQ(GT::Mid("abcde", c.position, c.count), c.expected);
    }
    EXPECT_EQ(GT::Left("abcde", 2), "ab");
    EXPECT_EQ(GT::Left("abcde", 9), "abcde");
    EXPECT_EQ(GT::Left("abcde", -1), "");
    EXPECT_EQ(GT::Right("abcde", 2), "de");
    EXPECT_EQ(GT::Right("abcde", 9), "abcde");
    EXPECT_EQ(GT::Right("abcde", -1), "");
    EXPECT_EQ(GT::Right("abcde", INT_MIN), "");
}

TEST(RemoveTrailingChar, OnlyTheMatchingLastCharacter) {
    EXPECT_EQ(GT::RemoveTrailingChar("dir/", '/'), "dir");
    EXPECT_EQ(GT::RemoveTrailingChar("dir//", '/'), "dir/");
    EXPECT_EQ(GT::RemoveTrailingChar("dir", '/'), "dir");
    EXPECT_EQ(GT::RemoveTrailingChar("", '/'), "");
}

TEST(ReplaceAll, InsertedTextIsNotSearchedAgain) {
    struct Case {
        const char* text;
        const char* search;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"a.b.c", ".", "\\", "a\\b\\c"},
        {"aaa", "a", "aa", "aaaaaa"},
        {"aaaa", "aa", "a", "aa"},
        {"abcabc", "bc", "", "aa"},
        {"abc", "x", "y", "abc"},
        {"abc", "", "y", "abc"},  // an empty search text replaces nothing
        {"", "a", "b", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.text << " / " << c.search);
        EXPECT_EQ(GT::ReplaceAll(c.text, c.search, c.replacement), c.expected);
        std::string result;
        EXPECT_EQ(GT::ReplaceAll(c.text, c.search, c.replacement, result),
                  std::string(c.text).find(c.search) != std::string::npos && *c.search != '\0');
        EXPECT_EQ(result, c.expected);
    }
}

TEST(Escaping, EscapeUnescapeAndUnquote) {
    EXPECT_EQ(GT::EscapeString(R"(say "hi" \o/)"), R"(say \"hi\" \\o/)");
    EXPECT_EQ(GT::UnescapeString(R"(say \"hi\" \\o/)"), R"(say "hi" \o/)");
    EXPECT_EQ(GT::UnescapeString(R"(\\\")"), R"(\")");  // three backslashes and a quote
    EXPECT_EQ(GT::UnescapeString(R"(\n\)"), R"(\n\)");  // other escapes stay as they are
    for (const char* s : {"", "plain", R"(a"b\c)", R"(\\")"}) EXPECT_EQ(GT::UnescapeString(GT::EscapeString(s)), s);

    struct Case {
        const char* in;
        bool unescape;
        const char* out;
    };
    const Case cases[] = {
        {"\"", false, "\""},
        {"\"\"", false, ""},
        {R"("C:\a b")", false, R"(C:\a b)"},
        {R"("x\"y")", true, R"(x"y)"},
        {R"(no\"quotes)", true, R"(no"quotes)"},  // unescaped without surrounding quotes
        {R"("only start)", false, R"("only start)"},
        {"", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(GT::Unquote(c.in, c.unescape), c.out);
        EXPECT_EQ(GT::Unquote(std::string(c.in), c.unescape), c.out);
    }
    EXPECT_EQ(GT::Unquote(static_cast<const char*>(nullptr), true), "");
}

TEST(ParseInt, ScanfIntegerForms) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"42", true, 42},
        {"  -42xyz", true, -42},
        {"--5", true, 5},  // the sign is applied twice
        {"- 5", true, -5},
        {"0x1F", true, 31},
        {"0X1f", true, 31},
        {"010", true, 8},
        {"-010", true, -8},
        {"0", true, 0},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT_MIN},
        {"0xFFFFFFFF", true, -1},  // reads back what IntToString prints in kind 1
        {"0x80000000", true, INT_MIN},
        {"2147483648", false, 0},
        {"99999999999999999999", false, 0},
        {"0x100000000", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"   ", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int value = 12345;
        EXPECT_EQ(GT::TryParseInt(c.text, value), c.ok);
        EXPECT_EQ(value, c.ok ? c.value : 12345);
        EXPECT_EQ(GT::ParseInt(c.text), c.value);
        EXPECT_EQ(GT::ParseInt(std::string(c.text)), c.value);
        EXPECT_EQ(GT::ParseLong(c.text), c.value);
        EXPECT_EQ(GT::TryParseInt(c.text), c.ok);
    }
    int untouched = 7;
    EXPECT_FALSE(GT::TryParseInt(static_cast<const char*>(nullptr), untouched));
    EXPECT_EQ(untouched, 7);
    EXPECT_EQ(GT::ParseInt(static_cast<const char*>(nullptr)), 0);
}

TEST(ParseDouble, DecimalAndHexadecimalFixedPoint) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"1.5", true, 1.5},
        {"  -2.25e1abc", true, -22.5},
        {"0x1.8", true, 1.5},
        {"-0x1.8", true, -1.5},
        {"0xFFFFFFFF.8", true, -0.5},  // the integer part is a signed 32-bit number
        {"0xFFFFFFFF", true, -1.0},
        {"0x10", true, 16.0},
        {"0x1.0000001", true, 1.0 + 1.0 / 268435456.0},
        {"0x1.00000018", true, 1.0 + 1.0 / 268435456.0},  // digits beyond the seventh are ignored
        {"0x2.", true, 2.0},
        {"0X1.4", true, 1.25},
        {"0x7FFFFFFF.FFFFFFF", true, 2147483647.0 + 268435455.0 / 268435456.0},
        {"0x.8", false, 0.0},
        {"0x", false, 0.0},
        {"0x.", false, 0.0},
        {"0xg", false, 0.0},
        {"0x1.g", false, 0.0},
        {"0x100000000", false, 0.0},
        {"abc", false, 0.0},
        {"", false, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double value = 99.0;
        EXPECT_EQ(GT::TryParseDouble(c.text, value), c.ok);
        EXPECT_EQ(value, c.ok ? c.value : 99.0);
        EXPECT_EQ(GT::ParseDouble(c.text), c.value);
        EXPECT_EQ(GT::ParseDouble(std::string(c.text)), c.value);
    }
}

TEST(ParseDouble, IntegerPartLongerThanTheBufferIsRefused) {
    const std::string fits = "0x" + std::string(126, '0') + "1.8";
    EXPECT_EQ(GT::ParseDouble(fits), 1.5);
    const std::string tooLong = "0x" + std::string(127, '0') + "1.8";
    double value = 3.0;
    EXPECT_FALSE(GT::TryParseDouble(tooLong, value));
    EXPECT_EQ(value, 3.0);
}

TEST(NumberText, IntAndLongKinds) {
    struct Case {
        int value;
        int kind;
        const char* expected;
    };
    const Case cases[] = {
        {-1, 0, "-1"},
        {255, 0, "255"},
        {-1, 1, "0xFFFFFFFF"},
        {255, 1, "0xFF"},
        {-255, 2, "-0xFF"},
        {255, 2, "0xFF"},
        {0, 2, "0x0"},
        {INT_MIN, 2, "-0x80000000"},
        {INT_MIN, 1, "0x80000000"},
        {INT_MIN, 0, "-2147483648"},
        {5, 3, ""},
        {5, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.value << " kind " << c.kind);
        EXPECT_EQ(GT::IntToString(c.value, c.kind), c.expected);
        EXPECT_EQ(GT::LongToString(c.value, c.kind), c.expected);
    }
}

TEST(NumberText, DoubleKindsPrecisionsAndFlags) {
    struct Case {
        double value;
        int kind, precision, flags;
        const char* expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {1.5, 2, 7, 0, "0x1.8000000"},
        {1.5, 2, 3, 0, "0x1.800"},
        {1.5, 2, 3, 1, "0x1.8"},
        {1.5, 2, 9, 0, "0x1.8000000"},  // 7 digits at most
        {1.5, 2, 0, 0, "0x1"},
        {-1.5, 2, 0, 0, "-0x1"},
        {-1.5, 2, 7, 0, "-0x1.8000000"},
        {-1.0, 1, 0, 0, "0xFFFFFFFF"},
        {-0.5, 1, 7, 0, "0xFFFFFFFF.8000000"},
        {255.75, 1, 2, 0, "0xFF.C0"},
        {4294967296.0 + 17.0, 2, 0, 0, "0x11"},  // low 32 bits
        {1e300, 2, 0, 0, "0x0"},
        {-1e300, 2, 3, 1, "-0x0"},
        {2.0, 2, 4, 1, "0x2"},
        {2.0, 2, 4, 1 | 4, "0x2.0"},
        {1.0 / 268435456.0, 2, 7, 0, "0x0.0000001"},
        {1.0 / 268435456.0, 2, 6, 1, "0x0"},  // the digit is cut, then the zeros
        {3.0, 0, 2, 1 | 2, "3"},
        {3.0, 0, 2, 1 | 2 | 4, "3.0"},
        {3.0, 0, 2, 2, "3"},
        {3.0, 0, 2, 0, "3.00"},
        {2.50, 0, 3, 1, "2.5"},
        {2.0, 0, 3, 1, "2"},
        {2.0, 0, 3, 1 | 4, "2.0"},
        {100.0, 0, 2, 1, "100"},
        {-0.125, 0, 15, 0, "-0.125000000000000"},
        {0.5, 0, 0, 1, "0"},  // "%.0f" rounds half to even
        {nan, 1, 0, 0, ""},
        {inf, 2, 3, 0, ""},
        {1.5, 3, 2, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.value << " kind " << c.kind << " precision " << c.precision << " flags " << c.flags);
        EXPECT_EQ(GT::DoubleToString(c.value, c.kind, c.precision, c.flags), c.expected);
    }
}

TEST(NumberText, HexTextsReadBack) {
    EXPECT_EQ(GT::DoubleToString(-1.0, 1, 0, 0), GT::IntToString(-1, 1));
    for (const std::string& text : {GT::DoubleToString(-1.0, 1, 0, 0), GT::IntToString(-1, 1)})
        EXPECT_EQ(GT::ParseDouble(text), -1.0);
    for (double v : {1.5, -1.5, 0.0, 1234.5625, -77.0078125, 2147483647.5}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(GT::ParseDouble(GT::DoubleToString(v, 2, 7, 0)), v);
        EXPECT_EQ(GT::ParseDouble(GT::DoubleToString(v, 2, 7, 1)), v);
        EXPECT_EQ(GT::ParseDouble(GT::DoubleToString(v, 0, 15, 0)), v);
    }
}

std::vector<std::string> Tokens(const GT::CStringTokenizer& t) {
    std::vector<std::string> out;
    for (int i = 0; i < t.GetCount(); ++i) out.emplace_back(t.GetToken(i));
    return out;
}

using Strings = std::vector<std::string>;

TEST(StringTokenizer, SplitsWithAndWithoutMerging) {
    struct Case {
        const char* text;
        char delimiter;
        bool merge;
        Strings expected;
    };
    const Case cases[] = {
        {"a,,b", ',', false, {"a", "", "b"}},
        {"a,,b", ',', true, {"a", "b"}},
        {"", ',', false, {""}},
        {"a,", ',', false, {"a", ""}},
        {"a,,,", ',', true, {"a", ""}},
        {",a", ',', true, {"", "a"}},
        {"CORVANE/QM/DB/", '/', false, {"CORVANE", "QM", "DB", ""}},
        {"song.01.wav", '.', false, {"song", "01", "wav"}},
        {"x \"a,b\" y", ',', false, {"x \"a,b\" y"}},         // the comma is inside quotes
        {"\"a\\\",b\",c", ',', false, {"\"a\\\",b\"", "c"}},  // an escaped quote does not close
        {"a\\\",b", ',', false, {"a\\\"", "b"}},              // an escaped quote outside quotes
        {"\"open,ended", ',', false, {"\"open,ended"}},
        {"-1,-2, 40", ',', true, {"-1", "-2", " 40"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const GT::CStringTokenizer t(c.text, c.delimiter, c.merge);
        EXPECT_EQ(Tokens(t), c.expected);
    }
}

TEST(StringTokenizer, TokensAndDefaults) {
    GT::CStringTokenizer t("a/b", '/', false);
    ASSERT_EQ(t.GetCount(), 2);
    EXPECT_STREQ(t.GetToken(1), "b");
    EXPECT_EQ(t.GetToken(2), nullptr);
    EXPECT_EQ(t.GetToken(-1), nullptr);
    EXPECT_STREQ(t.GetToken(5, "dflt"), "dflt");
    // A new split replaces the tokens; the old text is gone.
    t.Split("x/y/z");
    EXPECT_EQ(Tokens(t), (Strings{"x", "y", "z"}));
    t.Clear();
    EXPECT_EQ(t.GetCount(), 0);
    EXPECT_EQ(t.GetToken(0), nullptr);
    t.Split(static_cast<const char*>(nullptr));
    EXPECT_EQ(Tokens(t), (Strings{""}));
}

TEST(StringTokenizer, ListOfDelimiterTexts) {
    GT::CStringTokenizer t;
    t.SetDelimiters({"", "::", ";"}, false);
    t.Split("a::b;c:d");
    EXPECT_EQ(Tokens(t), (Strings{"a", "b", "c:d"}));
    t.SetDelimiters({"::", ";"}, true);
    t.Split("a::;::b::");
    EXPECT_EQ(Tokens(t), (Strings{"a", "b", ""}));
    // A delimiter text that would reach past the end does not match.
    t.SetDelimiters({"ab"}, false);
    t.Split("xa");
    EXPECT_EQ(Tokens(t), (Strings{"xa"}));
    t.SetDelimiters({}, false);
    t.Split("a,b");
    EXPECT_EQ(Tokens(t), (Strings{"a,b"}));
    // Choosing a character empties the list.
    t.SetDelimiters({","}, false);
    t.SetDelimiter(GT::CStringTokenizer::kDelimiterList, false);
    t.Split("a,b");
    EXPECT_EQ(t.GetCount(), 1);
}

TEST(StringTokenizer, ColumnWidthListParses) {
    const GT::CStringTokenizer t("120,,-1, -2,abc", ',', true);
    std::vector<int> widths;
    for (int i = 0; i < t.GetCount(); ++i) {
        int w = 0;
        if (GT::TryParseInt(t.GetToken(i), w)) widths.push_back(w);
    }
    EXPECT_EQ(widths, (std::vector<int>{120, -1, -2}));
}

}  // namespace
