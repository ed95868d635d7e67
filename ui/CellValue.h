#pragma once
// One table cell's content as it travels between a table model, the renderers and the editors.
#include "general_tools/Enumerations.h"

#include <memory>
#include <string>
#include <variant>

namespace UL {

class CCellValue {
public:
    // Where the value lies. Mode 1 (a heap block the value owns) belongs to the interface but is never
    // made: every value that the inline area cannot hold is a text or a borrowed object.
    enum Mode : int { kInline = 0, kHeapBlock = 1, kText = 2, kBorrowed = 3 };

    // An empty text.
    CCellValue() : m_mode(kText) {}
    CCellValue(bool value) : m_mode(kInline), m_inline(value) {}
    CCellValue(int value) : m_mode(kInline), m_inline(value) {}
    CCellValue(long value) : m_mode(kInline), m_inline(value) {}
    CCellValue(double value) : m_mode(kInline), m_inline(value) {}
    CCellValue(const std::string& text) : m_mode(kText), m_text(text) {}
    CCellValue(std::string&& text) : m_mode(kText), m_text(std::move(text)) {}
    CCellValue(const char* text) : m_mode(kText), m_text(text != nullptr ? text : "") {}
    // An enumeration value, held inline as a copy of the value object.
    CCellValue(const GT::IRangedNumber<int>& enumeration);

    // A value owned by someone else, reached through a pointer that must outlive the cell value.
    static CCellValue Borrow(const bool& object) { return CCellValue(Borrowed(&object)); }
    static CCellValue Borrow(const int& object) { return CCellValue(Borrowed(&object)); }
    static CCellValue Borrow(const long& object) { return CCellValue(Borrowed(&object)); }
    static CCellValue Borrow(const double& object) { return CCellValue(Borrowed(&object)); }
    static CCellValue Borrow(const std::string& object) { return CCellValue(Borrowed(&object)); }
    static CCellValue Borrow(const GT::IRangedNumber<int>& object) { return CCellValue(Borrowed(&object)); }

    int GetMode() const { return m_mode; }

    // Numbers and truth values from the inline area or the borrowed object; a text reads as false or 0.
    // A cell read in a class other than its own is converted as a number (bounded to the asked type).
    bool GetBool() const;
    int GetInt() const;
    long GetLong() const;
    double GetDouble() const;
    template <class T>
    T Get() const;

    // The enumeration value object, or null when the cell holds none (a text, a number).
    const GT::IRangedNumber<int>* GetEnumeration() const;

    // The text field (mode 2), the borrowed text (mode 3), an empty text otherwise.
    const std::string& GetString() const;

private:
    using Enumeration = std::shared_ptr<const GT::IRangedNumber<int>>;  // immutable, so copies share it
    using Inline = std::variant<bool, int, long, double, Enumeration>;
    using Borrowed = std::variant<std::monostate, const bool*, const int*, const long*, const double*,
                                  const std::string*, const GT::IRangedNumber<int>*>;

    explicit CCellValue(Borrowed borrowed) : m_mode(kBorrowed), m_borrowed(borrowed) {}
    double NumberOrZero() const;

    int m_mode;
    Inline m_inline{false};
    std::string m_text;
    Borrowed m_borrowed;
};

template <>
inline bool CCellValue::Get<bool>() const {
    return GetBool();
}
template <>
inline int CCellValue::Get<int>() const {
    return GetInt();
}
template <>
inline long CCellValue::Get<long>() const {
    return GetLong();
}
template <>
inline double CCellValue::Get<double>() const {
    return GetDouble();
}
template <>
inline std::string CCellValue::Get<std::string>() const {
    return GetString();
}

}  // namespace UL
