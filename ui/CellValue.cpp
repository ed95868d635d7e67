#include "ui/CellValue.h"

#include <cmath>
#include <limits>

namespace UL {

namespace {

template <class T>
T Bounded(double x) {
    // One past the largest value, exact as a double (the largest long itself is not).
    constexpr double kAbove = -static_cast<double>(std::numeric_limits<T>::min());
    if (std::isnan(x)) return 0;
    if (x <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (x >= kAbove) return std::numeric_limits<T>::max();
    return static_cast<T>(x);
}

const std::string& EmptyText() {
    static const std::string empty;
    return empty;
}

}  // namespace

CCellValue::CCellValue(const GT::IRangedNumber<int>& enumeration)
    : m_mode(kInline), m_inline(Enumeration(enumeration.CreateInstance(enumeration.GetValue()))) {}

double CCellValue::NumberOrZero() const {
    struct Reader {
        double operator()(bool v) const { return v ? 1.0 : 0.0; }
        double operator()(int v) const { return v; }
        double operator()(long v) const { return static_cast<double>(v); }
        double operator()(double v) const { return v; }
        double operator()(const Enumeration& v) const { return v ? v->GetValue() : 0.0; }
        double operator()(std::monostate) const { return 0.0; }
        double operator()(const bool* v) const { return *v ? 1.0 : 0.0; }
        double operator()(const int* v) const { return *v; }
        double operator()(const long* v) const { return static_cast<double>(*v); }
        double operator()(const double* v) const { return *v; }
        double operator()(const std::string*) const { return 0.0; }
        double operator()(const GT::IRangedNumber<int>* v) const { return v->GetValue(); }
    };
    switch (m_mode) {
        case kInline:
            return std::visit(Reader(), m_inline);
        case kBorrowed:
            return std::visit(Reader(), m_borrowed);
        default:
            return 0.0;
    }
}

bool CCellValue::GetBool() const {
    if (m_mode == kInline && std::holds_alternative<bool>(m_inline)) return std::get<bool>(m_inline);
    if (m_mode == kBorrowed && std::holds_alternative<const bool*>(m_borrowed))
        return *std::get<const bool*>(m_borrowed);
    return NumberOrZero() != 0.0;
}

int CCellValue::GetInt() const {
    if (m_mode == kInline && std::holds_alternative<int>(m_inline)) return std::get<int>(m_inline);
    if (m_mode == kBorrowed && std::holds_alternative<const int*>(m_borrowed)) return *std::get<const int*>(m_borrowed);
    return Bounded<int>(NumberOrZero());
}

long CCellValue::GetLong() const {
    if (m_mode == kInline && std::holds_alternative<long>(m_inline)) return std::get<long>(m_inline);
    if (m_mode == kBorrowed && std::holds_alternative<const long*>(m_borrowed))
        return *std::get<const long*>(m_borrowed);
    return Bounded<long>(NumberOrZero());
}

double CCellValue::GetDouble() const { return NumberOrZero(); }

const GT::IRangedNumber<int>* CCellValue::GetEnumeration() const {
    if (m_mode == kInline && std::holds_alternative<Enumeration>(m_inline))
        return std::get<Enumeration>(m_inline).get();
    if (m_mode == kBorrowed && std::holds_alternative<const GT::IRangedNumber<int>*>(m_borrowed))
        return std::get<const GT::IRangedNumber<int>*>(m_borrowed);
    return nullptr;
}

const std::string& CCellValue::GetString() const {
    if (m_mode == kText) return m_text;
    if (m_mode == kBorrowed && std::holds_alternative<const std::string*>(m_borrowed))
        return *std::get<const std::string*>(m_borrowed);
    return EmptyText();
}

}  // namespace UL
