#pragma once

// Envelopes: curves over the sample timeline as points kept sorted by position.

#include "general_tools/Nullable.h"
#include "sound/model/Entity.h"
#include "sound/model/LocatableBuffer.h"
#include "sound/model/SoundEnumerations.h"

#include <boost/shared_ptr.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace SL {

class CEntityCollection;

class CEnvelopePoint {
public:
    // Orders points by position alone.
    struct FLessX {
        bool operator()(const CEnvelopePoint& a, const CEnvelopePoint& b) const { return a.x < b.x; }
    };

    CEnvelopePoint() : x(0.0), y(0.0), curve(0) {}
    CEnvelopePoint(double xValue, double yValue, std::uint8_t curveCode = 0) : x(xValue), y(yValue), curve(curveCode) {}

    // Position and value only; the curve code is not compared.
    friend bool operator==(const CEnvelopePoint& a, const CEnvelopePoint& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const CEnvelopePoint& a, const CEnvelopePoint& b) { return !(a == b); }

    double x;
    double y;
    std::uint8_t curve;
};

// A vector kept sorted by Less, with no two equivalent elements: inserting an element whose key
// is already present drops the new one.
template <typename T, typename Less = std::less<T>, typename Allocator = std::allocator<T>>
class CVectorSet {
public:
    using value_type = T;
    using Items = std::vector<T, Allocator>;
    using const_iterator = typename Items::const_iterator;
    using iterator = const_iterator;
    using size_type = typename Items::size_type;

    // The position of the element and whether it was inserted.
    std::pair<const_iterator, bool> insert(const T& value) {
        auto at = std::lower_bound(m_items.begin(), m_items.end(), value, m_less);
        if (at != m_items.end() && !m_less(value, *at)) return std::make_pair(const_iterator(at), false);
        return std::make_pair(const_iterator(m_items.insert(at, value)), true);
    }
    // One by one, in range order.
    template <typename Iterator>
    void insert(Iterator first, Iterator last) {
        for (; first != last; ++first) insert(*first);
    }
    const_iterator erase(const_iterator position) { return m_items.erase(position); }
    void clear() { m_items.clear(); }

    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }
    size_type size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    const T& operator[](size_type index) const { return m_items[index]; }
    const T& front() const { return m_items.front(); }
    const T& back() const { return m_items.back(); }

protected:
    // For members that do not take part in the order.
    Items& MutableItems() { return m_items; }

private:
    Items m_items;
    Less m_less;
};

// The envelope's own attributes.
class AEnvelope {
public:
    friend bool operator==(const AEnvelope& a, const AEnvelope& b) {
        return a.waveFormat == b.waveFormat && a.curveType == b.curveType;
    }
    friend bool operator!=(const AEnvelope& a, const AEnvelope& b) { return !(a == b); }

    CWaveFormat waveFormat = CWaveFormat::NONE;
    CEnvelopeCurveType curveType = CEnvelopeCurveType::LIN;
};

class IEnvelope : public IEntity, public ILocatable2D, public GT::INullable {
public:
    using CCurveType = CEnvelopeCurveType;

    // Copies what the selection selects of the envelope (kind 2, id 0): the attribute groups
    // other than 0x10 and 0x20 take the common entity attributes, the wave format and the curve
    // type. This body copies no points; CEnvelope adds them.
    virtual void CopyFrom(const IEnvelope& source, const CEntityCollection& selection);
    virtual CWaveFormat GetWaveFormat() const = 0;
    virtual void SetCurveType(const CCurveType& curveType) = 0;
    virtual CCurveType GetCurveType() const = 0;
    virtual void SetWaveFormat(const CWaveFormat& waveFormat) = 0;

    // An envelope's extent follows its points; it cannot be set.
    void SetRange(const CExtent&) override {}

protected:
    IEnvelope() = default;
    IEnvelope(const IEnvelope&) = default;
    IEnvelope& operator=(const IEnvelope&) = default;
};

class CEnvelope : public AEntityBase<IEnvelope>, public CVectorSet<CEnvelopePoint, CEnvelopePoint::FLessX> {
public:
    using Points = CVectorSet<CEnvelopePoint, CEnvelopePoint::FLessX>;

    // No points; described to the domain.
    explicit CEnvelope(const CWaveFormat& waveFormat);
    // New records copied from the other; its points only when copyPoints is set. Not described.
    CEnvelope(const CEnvelope& other, bool copyPoints = true);
    CEnvelope& operator=(const CEnvelope&) = delete;

    ICloneable* Clone() const override { return new CEnvelope(*this, true); }
    // Another CEnvelope with equal points (x and y), entity record and envelope record.
    bool Equals(const CObject& other) const override;
    // The record has no range step and no validity rule: only the domain is asked.
    void Activate() override;
    bool IsValid() const override;

    // Adds the points when the selection takes them (0x10 or everything); their curve codes stay
    // when it takes 0x20 too, else they become 0.
    void CopyFrom(const IEnvelope& source, const CEntityCollection& selection) override;
    CWaveFormat GetWaveFormat() const override { return m_record->waveFormat; }
    void SetCurveType(const CCurveType& curveType) override { m_record->curveType = curveType; }
    CCurveType GetCurveType() const override { return m_record->curveType; }
    void SetWaveFormat(const CWaveFormat& waveFormat) override { m_record->waveFormat = waveFormat; }

    // {0, 0} without points, else the first and the last x truncated toward zero.
    CExtent GetRange() const override;
    bool IsNull() const override { return false; }

    // Stores the curve code in every point.
    void ResetCurves(std::uint8_t curve);

    const AEnvelope& GetEnvelopeRecord() const { return *m_record; }

private:
    boost::shared_ptr<AEnvelope> m_record;
};

}  // namespace SL
