#include "general_tools/Enumerations.h"

#include <limits>
#include <stdexcept>

#include <boost/lexical_cast.hpp>

namespace GT {

void CPairTable::Assign(std::vector<Pair> pairs, Pair defaultPair) {
    m_pairs = std::move(pairs);
    m_pairs.push_back(std::move(defaultPair));
}

namespace {

// Index of the first real pair that matches; the default pair's index when none does, 0 when
// the table holds the default pair only.
template <typename Match>
int IndexOfFirst(const std::vector<CPairTable::Pair>& pairs, Match match) {
    const int count = static_cast<int>(pairs.size());
    if (count < 2) return 0;
    for (int i = 0; i < count - 1; ++i)
        if (match(pairs[static_cast<std::size_t>(i)])) return i;
    return count - 1;
}

}  // namespace

int CPairTable::IndexOfKey(int key) const {
    return IndexOfFirst(m_pairs, [key](const Pair& p) { return p.first == key; });
}

int CPairTable::IndexOfValue(const std::string& value) const {
    return IndexOfFirst(m_pairs, [&value](const Pair& p) { return p.second == value; });
}

const CPairTable::Pair& CPairTable::GetPair(int index) const {
    if (index < 0 || index >= GetPairCount()) return m_pairs.back();
    return m_pairs[static_cast<std::size_t>(index)];
}

int CEnumerationDescription::GetMinimum() const { return m_table.GetPairCount() < 2 ? 0 : m_table.GetPair(0).first; }

int CEnumerationDescription::GetMaximum() const {
    const int count = m_table.GetPairCount();
    return count < 2 ? 0 : m_table.GetPair(count - 2).first;
}

std::unique_ptr<IIterator<int>> CEnumerationDescription::CreateIterator() const {
    return std::make_unique<CIterator>(m_table);
}

CRangedNumberDescription<int>::CRangedNumberDescription(int minimum, int maximum, int step)
    : m_minimum(minimum), m_maximum(maximum), m_step(step) {
    if (minimum > maximum || step < 1 || static_cast<std::int64_t>(maximum) + step > std::numeric_limits<int>::max())
        throw std::invalid_argument("ranged description needs minimum <= maximum, step >= 1, maximum + step in int");
}

bool CRangedNumberDescription<int>::CIterator::HasNext() const {
    const auto& d = m_description;
    return static_cast<std::int64_t>(d.m_minimum) + static_cast<std::int64_t>(d.m_step) * m_k <= d.m_maximum;
}

int CRangedNumberDescription<int>::CIterator::Next() {
    const auto& d = m_description;
    const int v =
        d.Scale(static_cast<int>(static_cast<std::int64_t>(d.m_minimum) + static_cast<std::int64_t>(d.m_step) * m_k));
    ++m_k;
    return v;
}

std::unique_ptr<IIterator<int>> CRangedNumberDescription<int>::CreateIterator() const {
    return std::make_unique<CIterator>(*this);
}

std::string CRangedNumberDescription<int>::ToString(int value) const { return boost::lexical_cast<std::string>(value); }

}  // namespace GT
