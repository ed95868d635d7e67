#include "ui/ListSelection.h"

#include <algorithm>

namespace UL {

void CListSelection::SetRange(int first, int end, bool select, bool exclusive) {
    if (exclusive) std::fill(m_bits.begin(), m_bits.end(), !select);
    first = std::max(first, 0);
    end = std::min(end, GetSize());
    for (int i = first; i < end; ++i) m_bits[static_cast<size_t>(i)] = select;
}

int CListSelection::SetSelected(const std::vector<int>& indices) {
    std::fill(m_bits.begin(), m_bits.end(), false);
    int taken = 0;
    for (int index : indices) {
        if (index < 0 || index >= GetSize()) continue;
        m_bits[static_cast<size_t>(index)] = true;
        ++taken;
    }
    return taken;
}

std::vector<int> CListSelection::GetSelected() const {
    std::vector<int> selected;
    for (int i = 0; i < GetSize(); ++i) {
        if (m_bits[static_cast<size_t>(i)]) selected.push_back(i);
    }
    return selected;
}

boost::shared_ptr<IListSelection> CListSelection::CreateEmpty() const {
    return boost::shared_ptr<IListSelection>(new CListSelection());
}

void CListSingleSelection::SetRange(int first, int end, bool select, bool exclusive) {
    CListSelection::SetRange(first, end, select, select ? true : exclusive);
}

boost::shared_ptr<IListSelection> CListSingleSelection::CreateEmpty() const {
    return boost::shared_ptr<IListSelection>(new CListSingleSelection());
}

}  // namespace UL
