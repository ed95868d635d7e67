#include "platform/system/TextEncoding.h"

#include "tests/support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <clocale>
#include <string>
#include <vector>

namespace {

TEST(TextEncodingTest, StrictDecodeFailsOnInvalidBytesAndUnknownSets) {
    std::u16string out;
    EXPECT_TRUE(platform::DecodeText("UTF-8", "a\xE3\x81\x82", out));
    EXPECT_EQ(out, u"a\u3042");
    EXPECT_FALSE(platform::DecodeText("UTF-8", "a\xFF", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(platform::DecodeText("NO-SUCH-CHARSET", "a", out));
}

TEST(TextEncodingTest, FallbackCoversEachInvalidStretch) {
    std::vector<std::string> seen;
    auto fallback = [&seen](const char* at, size_t available, std::u16string& out) -> size_t {
        seen.emplace_back(at, available);
        out += u'#';
        return 1;
    };
    std::u16string out;
    // A long text crosses the converter's buffer several times.
    std::string input = std::string(10000, 'x') + "\xFF" + "y" + "\xE3\x81";
    ASSERT_TRUE(platform::DecodeText("UTF-8", input, out, fallback));
    EXPECT_EQ(out, std::u16string(10000, u'x') + u"#y##");
    EXPECT_EQ(seen, (std::vector<std::string>{"\xFFy\xE3\x81", "\xE3\x81", "\x81"}));
}

TEST(TextEncodingTest, EncodeReplacesWhatTheSetCannotHold) {
    const std::string q = "?";
    std::string out;
    // U+3042, a surrogate pair (U+1F600) and a lone surrogate: one "?" each.
    const std::u16string text = u"a\u3042b\U0001F600c\xD800";
    EXPECT_TRUE(platform::EncodeText("ASCII", text, out, &q));
    EXPECT_EQ(out, "a?b?c?");
    EXPECT_FALSE(platform::EncodeText("ASCII", text, out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(platform::EncodeText("UTF-8", u"\u3042\U0001F600", out));
    EXPECT_EQ(out, "\xE3\x81\x82\xF0\x9F\x98\x80");
    EXPECT_FALSE(platform::EncodeText("NO-SUCH-CHARSET", u"a", out, &q));
}

TEST(TextEncodingTest, ThreadCharsetFollowsTheThreadsLocale) {
    locale_t utf8 = ::newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    ASSERT_TRUE(utf8 && c);
    locale_t old = ::uselocale(utf8);
    EXPECT_EQ(platform::ThreadCharset(), "UTF-8");
    ::uselocale(c);
    EXPECT_EQ(platform::ThreadCharset(), "ANSI_X3.4-1968");
    ::uselocale(old);
    ::freelocale(utf8);
    ::freelocale(c);
}

TEST(TextEncodingTest, UserLanguageComesFromTheFirstSetLocaleVariable) {
    const struct {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        const char* expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, "English"},
        {nullptr, nullptr, nullptr, "ja_JP.UTF-8", "Japanese"},
        {nullptr, nullptr, "en_US.UTF-8", "ja_JP.UTF-8", "English"},
        {nullptr, "ja_JP.eucJP", "en_US.UTF-8", "en_US.UTF-8", "Japanese"},
        {nullptr, "", "ja", "en_US.UTF-8", "Japanese"},  // set but empty counts as unset
        {nullptr, "", "", "de_DE.UTF-8", "English"},
        {nullptr, "C", "", "ja_JP.UTF-8", "English"},
        // LANGUAGE's first entry comes before them all.
        {"ja:en", "en_US.UTF-8", nullptr, "en_US.UTF-8", "Japanese"},
        {"ja_JP", nullptr, nullptr, "en_US.UTF-8", "Japanese"},
        {"en_GB:ja", nullptr, nullptr, "ja_JP.UTF-8", "English"},
        {"", nullptr, nullptr, "ja_JP.UTF-8", "Japanese"},
        {":ja", nullptr, nullptr, "en_US.UTF-8", "English"},  // an empty first entry names nothing
    };
    for (const auto& c : cases) {
        gbxtest::ScopedEnvironment language("LANGUAGE", c.language);
        gbxtest::ScopedEnvironment lcAll("LC_ALL", c.lcAll);
        gbxtest::ScopedEnvironment lcMessages("LC_MESSAGES", c.lcMessages);
        gbxtest::ScopedEnvironment lang("LANG", c.lang);
        EXPECT_EQ(platform::UserLanguage(), c.expected)
            << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-") << " "
            << (c.lcMessages ? c.lcMessages : "-") << " " << (c.lang ? c.lang : "-");
    }
}

}  // namespace
