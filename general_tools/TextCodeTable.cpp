#include "general_tools/TextCodeTable.h"

namespace GT {

void CTextCodeTable::SetLanguage(int language) {
    if (IsLanguage(language)) m_language = language;
}

void CTextCodeTable::SetText(int language, int id, const std::string& text) {
    if (IsLanguage(language)) m_texts[language][id] = text;
}

const std::string& CTextCodeTable::GetText(int language, int id) const {
    if (IsLanguage(language)) {
        auto it = m_texts[language].find(id);
        if (it != m_texts[language].end()) return it->second;
    }
    static const std::string empty;
    return empty;
}

void CTextCodeTable::Clear() {
    m_texts[0].clear();
    m_texts[1].clear();
}

}  // namespace GT
