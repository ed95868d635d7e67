#include "general_tools/CharacterCodeConverter.h"

#include "tests/support/LocaleScope.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Bytes(const std::u16string& wide) {
    std::string out(wide.size() * 2, '\0');
    std::memcpy(out.data(), wide.data(), out.size());
    return out;
}

std::u16string Wide(const std::string& utf16le) {
    std::u16string out(utf16le.size() / 2, u'\0');
    std::memcpy(out.data(), utf16le.data(), out.size() * 2);
    return out;
}

// The iconv command converts the same bytes independently of our code.
std::string Iconv(const std::string& from, const std::string& to, const std::string& bytes) {
    gbxtest::TempDir dir;
    gbxtest::WriteText(dir.File("in"), bytes);
    auto r = gbxtest::Run("iconv -f " + from + " -t " + to + " " + gbxtest::Quote(dir.File("in")));
    EXPECT_EQ(r.exitCode, 0) << from << " -> " << to;
    return r.output;
}

using gbxtest::LocaleScope;

const GT::ICharacterCodeConverter& Converter() { return GT::GetCharacterCodeConverter(); }

TEST(CharacterCodeConverterTest, Utf8RoundTripsAgreeWithIconv) {
    const std::string samples[] = {
        "plain ASCII",
        "\xE3\x81\x82",                          // U+3042
        "caf\xC3\xA9 \xE2\x82\xAC",              // accents, euro sign
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",  // Japanese
        "\xF0\x9F\x8E\xB8 guitar",               // outside the BMP: a surrogate pair
        std::string("zero\0inside", 11),         // lengths, not terminators
        "\xEF\xBF\xBF\xF4\x8F\xBF\xBF",          // U+FFFF, U+10FFFF
    };
    for (const std::string& utf8 : samples) {
        const std::u16string wide = Converter().FromUtf8(utf8);
        EXPECT_EQ(Bytes(wide), Iconv("UTF-8", "UTF-16LE", utf8)) << utf8;
        EXPECT_EQ(Converter().ToUtf8(wide), utf8);
    }
    EXPECT_EQ(Converter().FromUtf8("\xE3\x81\x82"), u"\u3042");
    EXPECT_EQ(Converter().ToUtf8(u"\u3042"), "\xE3\x81\x82");
    EXPECT_EQ(Converter().FromUtf8(""), u"");
    EXPECT_EQ(Converter().ToUtf8(u""), "");
}

TEST(CharacterCodeConverterTest, InvalidUtf8ReadsAsReplacementCharactersLikePython) {
    const std::string samples[] = {
        "a\xFF"
        "b",         // never valid
        "\xE3\x81",  // cut short at the end
        "\xE3\x81"
        "A",                 // cut short before ASCII: one replacement
        "\xC0\xAF",          // overlong
        "\xED\xA0\x80",      // encoded surrogate
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\x80\x80\xE3\x81\x82\xF0\x9F",
    };
    gbxtest::TempDir dir;
    std::vector<std::string> files;
    std::string ours;
    for (const std::string& bad : samples) {
        files.push_back(dir.File(std::to_string(files.size())));
        gbxtest::WriteText(files.back(), bad);
        for (unsigned char c : Bytes(Converter().FromUtf8(bad))) {
            static const char digits[] = "0123456789abcdef";
            ours += digits[c >> 4];
            ours += digits[c & 15];
        }
        ours += "\n";
    }
    auto r = gbxtest::Python(
        "import sys\n"
        "for name in sys.argv[1:]:\n"
        "    print(open(name, 'rb').read().decode('utf-8', 'replace').encode('utf-16-le').hex())\n",
        files);
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(ours, r.output);
}

TEST(CharacterCodeConverterTest, LoneSurrogatesWriteAsReplacementCharacter) {
    EXPECT_EQ(Converter().ToUtf8(u"a\xD800"
                                 u"b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Converter().ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
    EXPECT_EQ(Converter().ToUtf8(std::u16string(u"x\xD83D")), "x\xEF\xBF\xBD");  // pair cut at the end
}

TEST(CharacterCodeConverterTest, AnsiInAUtf8LocaleIsUtf8) {
    LocaleScope scope("C.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(Converter().FromAnsi("\xE3\x81\x82"), u"\u3042");
    EXPECT_EQ(Converter().ToAnsi(u"\u3042"), "\xE3\x81\x82");
    const std::string utf8 = "caf\xC3\xA9 \xF0\x9F\x8E\xB8";
    EXPECT_EQ(Converter().ToAnsi(Converter().FromAnsi(utf8)), utf8);
    EXPECT_EQ(Converter().ToAnsi(u"lone \xD800"), "lone ?");
}

TEST(CharacterCodeConverterTest, ToAnsiWritesQuestionMarkForWhatTheCodePageCannotHold) {
    LocaleScope scope("C", "en_US");  // the "C" locale's set is ASCII
    EXPECT_EQ(Converter().ToAnsi(u"a\u3042\u00E9\U0001F3B8z"), "a???z");
    EXPECT_EQ(Converter().ToAnsi(u"plain"), "plain");
    EXPECT_EQ(Converter().FromAnsi("plain"), u"plain");
}

TEST(CharacterCodeConverterTest, TheThreadsLocaleDecidesTheAnsiCodePage) {
    {
        LocaleScope scope("C.UTF-8", "en_US.UTF-8");
        EXPECT_EQ(Converter().ToAnsi(u"\u00E9"), "\xC3\xA9");
    }
    {
        LocaleScope scope("C", "en_US.UTF-8");
        EXPECT_EQ(Converter().ToAnsi(u"\u00E9"), "?");
    }
}

TEST(CharacterCodeConverterTest, AnsiBytesInvalidInTheLocaleReadAsTheUsersLegacyCodePage) {
    const struct {
        const char* locale;
        const char* lang;
        std::string bytes;
        const char* oracleCharset;  // null: the expected text is given
        std::u16string expected;
    } cases[] = {
        {"C.UTF-8", "en_US.UTF-8", "caf\xE9 \x80 \x9F", "CP1252", u""},
        {"C", "de_DE",
         "Gr\xFC\xDF"
         "e \x93quoted\x94",
         "CP1252", u""},
        {"C.UTF-8", "ja_JP.UTF-8", "\x82\xA0\x83\x5C\x95\x5C", "CP932", u""},  // Shift-JIS kana and kanji
        // Bytes that Windows-1252 leaves undefined still come through.
        {"C.UTF-8", "en_US.UTF-8",
         "a\x81\x8D\x8F\x90\x9D"
         "b",
         nullptr, u"a\u0081\u008D\u008F\u0090\u009Db"},
        // Not Shift-JIS either: what cannot be read becomes U+FFFD, nothing is dropped.
        {"C.UTF-8", "ja_JP.UTF-8", "\x82\xA0\xFF", nullptr, u"\u3042\uFFFD"},
        // Valid in the locale: no fall-back, whatever the language.
        {"C.UTF-8", "ja_JP.UTF-8", "\xE3\x81\x82", nullptr, u"\u3042"},
    };
    for (const auto& c : cases) {
        LocaleScope scope(c.locale, c.lang);
        const std::u16string expected =
            c.oracleCharset ? Wide(Iconv(c.oracleCharset, "UTF-16LE", c.bytes)) : c.expected;
        EXPECT_EQ(Converter().FromAnsi(c.bytes), expected) << c.locale << " " << c.lang << " " << c.bytes;
    }
}

TEST(CharacterCodeConverterTest, CodePagesByNumber) {
    EXPECT_EQ(GT::MultiByteToWide(1252, "\x80"), u"\u20AC");
    EXPECT_EQ(GT::WideToMultiByte(932, u"\u3042"), "\x82\xA0");
    EXPECT_EQ(GT::WideToMultiByte(1252, u"\u3042"), "?");
    EXPECT_EQ(GT::MultiByteToWide(GT::kCodePageUtf8, "\xE3\x81\x82"), u"\u3042");
    // A code page nobody knows converts to nothing.
    EXPECT_EQ(GT::MultiByteToWide(4242, "abc"), u"");
    EXPECT_EQ(GT::WideToMultiByte(4242, u"abc"), "");
}

TEST(CharacterCodeConverterTest, OneProcessWideConverter) {
    EXPECT_EQ(&GT::GetCharacterCodeConverter(), &GT::GetCharacterCodeConverter());
}

}  // namespace
