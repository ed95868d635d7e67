// The program's texts by message id, in two languages (0 English, 1 Japanese).
#pragma once

#include <map>
#include <string>

namespace GT {

class CTextCodeTable {
public:
    CTextCodeTable() = default;
    virtual ~CTextCodeTable() = default;

    // A language other than 0 or 1 is ignored: the current language stays.
    void SetLanguage(int language);
    int GetLanguage() const { return m_language; }

    // Replaces an earlier text of the same language and id; ignored for an
    // unknown language.
    void SetText(int language, int id, const std::string& text);

    // The stored text, or one shared empty text when the id (or the language)
    // is unknown; there is no fall-back to the other language. The reference
    // stays valid until Clear.
    virtual const std::string& GetText(int language, int id) const;
    virtual const std::string& GetText(int id) const { return GetText(m_language, id); }

    // Empties both languages; the current language stays.
    void Clear();

private:
    static bool IsLanguage(int language) { return language == 0 || language == 1; }

    int m_language = 0;
    std::map<int, std::string> m_texts[2];
};

}  // namespace GT
