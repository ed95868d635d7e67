// Runs a scope with the calling thread in a given locale and the user's language variables set, and
// restores both.
#pragma once

#include "tests/support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <locale.h>

namespace gbxtest {

class LocaleScope {
public:
    LocaleScope(const char* locale, const char* lang)
        : m_language("LANGUAGE", nullptr),
          m_lcAll("LC_ALL", nullptr),
          m_lcMessages("LC_MESSAGES", nullptr),
          m_lang("LANG", lang) {
        m_locale = ::newlocale(LC_ALL_MASK, locale, nullptr);
        EXPECT_NE(m_locale, nullptr) << locale;
        m_old = ::uselocale(m_locale);
    }
    ~LocaleScope() {
        ::uselocale(m_old);
        ::freelocale(m_locale);
    }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    ScopedEnvironment m_language, m_lcAll, m_lcMessages, m_lang;
    locale_t m_locale;
    locale_t m_old;
};

// The user's language for one scope, as only LANG gives it (LANGUAGE, LC_ALL and LC_MESSAGES unset); the
// thread's locale stays.
class LanguageScope {
public:
    explicit LanguageScope(const char* lang)
        : m_language("LANGUAGE", nullptr),
          m_lcAll("LC_ALL", nullptr),
          m_lcMessages("LC_MESSAGES", nullptr),
          m_lang("LANG", lang) {}

private:
    ScopedEnvironment m_language, m_lcAll, m_lcMessages, m_lang;
};

}  // namespace gbxtest
