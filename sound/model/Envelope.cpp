#include "sound/model/Envelope.h"

#include "sound/model/Domain.h"
#include "sound/model/EntityCollection.h"

#include <cmath>
#include <limits>

namespace SL {

namespace {

using C = CEntityCollection;

// A single chain below the root: kind 2, id 0 and the given groups.
CEntityCollection EnvelopeSelection(std::int32_t mask) {
    CEntityCollection selection;
    selection.Add(C::KIND_ENVELOPE, 0, mask);
    return selection;
}

// Truncation toward zero that stays defined for positions no int can hold.
std::int32_t TruncateToInt(double x) {
    if (std::isnan(x)) return 0;
    if (x <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (x >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(x);
}

}  // namespace

void IEnvelope::CopyFrom(const IEnvelope& source, const CEntityCollection& selection) {
    const CEntityCollection whole = EnvelopeSelection(C::MASK_ALL);
    const CEntityCollection selected = selection == GetRootOnlyCollection() ? whole : selection.Intersect(whole);
    if (selected.NodeCount() == 1) return;
    if (selected.Overlaps(EnvelopeSelection(C::MASK_ATTRIBUTES), false)) {
        CopyEntityAttributes(*this, source);
        SetWaveFormat(source.GetWaveFormat());
        SetCurveType(source.GetCurveType());
    }
}

CEnvelope::CEnvelope(const CWaveFormat& waveFormat) : m_record(new AEnvelope) {
    m_record->waveFormat = waveFormat;
    GetDomain()->GetEnvelopeDescription().Describe(this);
}

CEnvelope::CEnvelope(const CEnvelope& other, bool copyPoints)
    : AEntityBase<IEnvelope>(other), Points(), m_record(new AEnvelope(*other.m_record)) {
    if (copyPoints) static_cast<Points&>(*this) = other;
}

bool CEnvelope::Equals(const CObject& other) const {
    const auto* envelope = dynamic_cast<const CEnvelope*>(&other);
    if (!envelope) return false;
    return size() == envelope->size() && std::equal(begin(), end(), envelope->begin())
           && GetEntityRecord() == envelope->GetEntityRecord() && *m_record == *envelope->m_record;
}

void CEnvelope::Activate() { GetDomain()->GetEnvelopeDescription().Describe(this); }

bool CEnvelope::IsValid() const { return GetDomain()->GetEnvelopeDescription().IsValid(this); }

void CEnvelope::CopyFrom(const IEnvelope& source, const CEntityCollection& selection) {
    IEnvelope::CopyFrom(source, selection);
    const auto* envelope = dynamic_cast<const CEnvelope*>(&source);
    if (!envelope) return;
    const bool everything = selection == GetRootOnlyCollection();
    if (!everything && !selection.Overlaps(EnvelopeSelection(C::MASK_SAMPLES), false)) return;
    if (envelope == this) {
        // The points are already those of the source; only the curve rule below applies.
    } else {
        clear();
        insert(envelope->begin(), envelope->end());
    }
    if (!everything && !selection.Overlaps(EnvelopeSelection(C::MASK_RANGE), false)) ResetCurves(0);
}

CExtent CEnvelope::GetRange() const {
    if (empty()) return CExtent();
    return CExtent(TruncateToInt(front().x), TruncateToInt(back().x));
}

void CEnvelope::ResetCurves(std::uint8_t curve) {
    for (CEnvelopePoint& point : MutableItems()) point.curve = curve;
}

}  // namespace SL
