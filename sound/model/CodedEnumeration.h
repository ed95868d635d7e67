// Base of the sound library's enumerations: a GT::CEnumeration whose rows also exist as a
// compile-time enum E, so that named constants need no start-up order and can be template arguments.
#pragma once

#include "general_tools/Enumerations.h"

#include <string>

namespace SL {

template <typename Self, typename E>
class CCodedEnumeration : public GT::CEnumeration<Self> {
    using Base = GT::CEnumeration<Self>;

public:
    using Code = E;

    // The first row of the table.
    CCodedEnumeration() = default;
    // A row of the table; it cannot fail.
    CCodedEnumeration(E code) : Base(static_cast<int>(code)) {}  // implicit: constants convert freely
    // These throw GT::IRangedNumber<int>::CError for a value or name outside the table.
    explicit CCodedEnumeration(int value) : Base(value) {}
    explicit CCodedEnumeration(const std::string& name) : Base(name) {}
    explicit CCodedEnumeration(const char* name) : Base(name) {}

    E GetCode() const { return static_cast<E>(this->GetValue()); }

    friend bool operator==(const Self& a, E b) { return a.GetCode() == b; }
    friend bool operator==(E a, const Self& b) { return a == b.GetCode(); }
    friend bool operator!=(const Self& a, E b) { return a.GetCode() != b; }
    friend bool operator!=(E a, const Self& b) { return a != b.GetCode(); }
};

}  // namespace SL
