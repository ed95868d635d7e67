#pragma once

// Pair tables, enumeration values and the value descriptions behind them.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace GT {

// Table of {int key, text} pairs with a default pair kept last. Lookups search the real pairs
// (all but the last) in table order and answer with the default pair when nothing matches.
class CPairTable {
public:
    using Pair = std::pair<int, std::string>;

    CPairTable() : m_pairs{Pair(-1, std::string())} {}
    CPairTable(std::vector<Pair> pairs, Pair defaultPair) {
        CPairTable::Assign(std::move(pairs), std::move(defaultPair));
    }
    CPairTable(const CPairTable&) = default;
    CPairTable& operator=(const CPairTable&) = default;
    virtual ~CPairTable() = default;

    virtual void Assign(std::vector<Pair> pairs, Pair defaultPair);

    int IndexOfKey(int key) const;
    std::string ValueOfKey(int key) const { return GetPair(IndexOfKey(key)).second; }
    int IndexOfValue(const std::string& value) const;
    const Pair& PairOfValue(const std::string& value) const { return GetPair(IndexOfValue(value)); }
    int KeyOfValue(const std::string& value) const { return PairOfValue(value).first; }

    // An index outside the table answers with the default pair.
    const Pair& GetPair(int index) const;
    // All pairs, the default pair included.
    int GetPairCount() const { return static_cast<int>(m_pairs.size()); }
    // The pairs before the default pair.
    int GetRealPairCount() const { return GetPairCount() - 1; }

private:
    std::vector<Pair> m_pairs;
};

class CStringTable : public CPairTable {
public:
    using CPairTable::CPairTable;
    void Assign(std::vector<Pair> pairs, Pair defaultPair) override {
        CPairTable::Assign(std::move(pairs), std::move(defaultPair));
    }
};

class IValueDescription {
public:
    virtual ~IValueDescription() = default;
};

template <typename T>
class IIterator {
public:
    virtual ~IIterator() = default;
    virtual bool HasNext() const = 0;
    // Returns the current value and advances.
    virtual T Next() = 0;
};

template <typename T>
class IRangedNumberDescription : public IValueDescription {
public:
    virtual T GetMinimum() const = 0;
    virtual T GetMaximum() const = 0;
    virtual T GetStep() const = 0;
    virtual std::unique_ptr<IIterator<T>> CreateIterator() const = 0;
    virtual std::string ToString(T value) const = 0;
};

// Describes the keys of one pair table, which it does not own.
class CEnumerationDescription : public IRangedNumberDescription<int> {
public:
    class CIterator : public IIterator<int> {
    public:
        explicit CIterator(const CPairTable& table) : m_table(table) {}
        bool HasNext() const override { return m_index < m_table.GetPairCount() - 1; }
        int Next() override { return m_table.GetPair(m_index++).first; }

    private:
        const CPairTable& m_table;
        int m_index = 0;
    };

    explicit CEnumerationDescription(const CPairTable& table) : m_table(table) {}

    // Minimum and maximum are the first and last real keys in table order, not sorted.
    int GetMinimum() const override;
    int GetMaximum() const override;
    int GetStep() const override { return 1; }
    std::unique_ptr<IIterator<int>> CreateIterator() const override;
    std::string ToString(int value) const override { return m_table.ValueOfKey(value); }

private:
    const CPairTable& m_table;
};

template <typename T>
class CRangedNumberDescription;

// Integers from minimum to maximum in steps. Needs minimum <= maximum, step >= 1 and
// maximum + step within the int range; other arguments throw std::invalid_argument.
template <>
class CRangedNumberDescription<int> : public IRangedNumberDescription<int> {
public:
    class CIterator : public IIterator<int> {
    public:
        explicit CIterator(const CRangedNumberDescription& description) : m_description(description) {}
        bool HasNext() const override;
        int Next() override;

    private:
        const CRangedNumberDescription& m_description;
        int m_k = 0;
    };

    CRangedNumberDescription(int minimum, int maximum, int step);

    int GetMinimum() const override { return Scale(m_minimum); }
    int GetMaximum() const override { return Scale(m_maximum); }
    int GetStep() const override { return Scale(m_step); }
    std::unique_ptr<IIterator<int>> CreateIterator() const override;
    std::string ToString(int value) const override;

private:
    int Scale(int v) const { return static_cast<int>(static_cast<std::int64_t>(v) * m_numerator / m_denominator); }

    int m_numerator = 1;
    int m_denominator = 1;
    int m_minimum;
    int m_maximum;
    int m_step;
};

template <typename T>
class IRangedNumber {
public:
    // Thrown when a value is built from a value or name outside its table.
    class CError : public std::exception {
    public:
        CError(T minimum, T maximum) : m_minimum(minimum), m_maximum(maximum) {}
        T GetMinimum() const { return m_minimum; }
        T GetMaximum() const { return m_maximum; }
        const char* what() const noexcept override { return "value out of range"; }

    private:
        T m_minimum;
        T m_maximum;
    };

    virtual ~IRangedNumber() = default;
    // A new object of the same class built from the value; throws like the constructor.
    virtual std::unique_ptr<IRangedNumber> CreateInstance(T value) const = 0;
    // Copies the value of an object of the same run-time class; otherwise changes nothing.
    virtual IRangedNumber& Assign(const IRangedNumber& other) = 0;
    virtual T GetValue() const = 0;
    virtual std::string ToString() const { return GetDescription().ToString(GetValue()); }
    virtual const IRangedNumberDescription<T>& GetDescription() const = 0;
    // Tests the argument, not this object's value.
    virtual bool IsValid(T value) const = 0;

protected:
    IRangedNumber() = default;
    IRangedNumber(const IRangedNumber&) = default;
    IRangedNumber& operator=(const IRangedNumber&) = default;
};

template <typename T>
class IEnumeration : public IRangedNumber<T> {
public:
    virtual std::unique_ptr<IRangedNumber<T>> CreateInstanceByName(const std::string& name) const = 0;

protected:
    IEnumeration() = default;
    IEnumeration(const IEnumeration&) = default;
    IEnumeration& operator=(const IEnumeration&) = default;
};

// An int value named by T's table. T supplies the table as
//     static const GT::CStringTable& GetStringTable();
// usually a function-local static. T is normally the enumeration class itself (deriving from
// CEnumeration<T>); a plain tag class works too.
template <typename T>
class CEnumeration : public IEnumeration<int> {
public:
    using CError = IRangedNumber<int>::CError;

    // The key of the table's first pair.
    CEnumeration() : m_value(Description().GetMinimum()) {}
    explicit CEnumeration(int value) : m_value(Checked(value)) {}
    explicit CEnumeration(const std::string& name) : m_value(Checked(T::GetStringTable().KeyOfValue(name))) {}
    explicit CEnumeration(const char* name) : CEnumeration(std::string(name ? name : "")) {}

    std::unique_ptr<IRangedNumber<int>> CreateInstance(int value) const override { return Make(Checked(value)); }
    std::unique_ptr<IRangedNumber<int>> CreateInstanceByName(const std::string& name) const override {
        return Make(Checked(T::GetStringTable().KeyOfValue(name)));
    }

    IRangedNumber<int>& Assign(const IRangedNumber<int>& other) override {
        if (&other != this && typeid(other) == typeid(*this)) m_value = other.GetValue();
        return *this;
    }

    int GetValue() const override { return m_value; }
    const IRangedNumberDescription<int>& GetDescription() const override { return Description(); }
    bool IsValid(int value) const override { return !T::GetStringTable().ValueOfKey(value).empty(); }

    friend bool operator==(const CEnumeration& a, const CEnumeration& b) { return a.m_value == b.m_value; }
    friend bool operator!=(const CEnumeration& a, const CEnumeration& b) { return a.m_value != b.m_value; }

    // The enumeration's one description, made on first use.
    static const CEnumerationDescription& Description() {
        static const CEnumerationDescription description(T::GetStringTable());
        return description;
    }

private:
    static int Checked(int value) {
        if (T::GetStringTable().ValueOfKey(value).empty()) {
            const CEnumerationDescription& d = Description();
            throw CError(d.GetMinimum(), d.GetMaximum());
        }
        return value;
    }

    // A copy of this object's own class carrying an already checked value.
    std::unique_ptr<IRangedNumber<int>> Make(int value) const {
        if constexpr (std::is_base_of_v<CEnumeration, T>) {
            auto copy = std::make_unique<T>(static_cast<const T&>(*this));
            static_cast<CEnumeration&>(*copy).m_value = value;
            return copy;
        } else {
            auto copy = std::make_unique<CEnumeration>(*this);
            copy->m_value = value;
            return copy;
        }
    }

    int m_value;
};

}  // namespace GT
