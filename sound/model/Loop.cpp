#include "sound/model/Loop.h"

#include "general_tools/Rounding.h"
#include "sound/model/Domain.h"

#include <cstdint>
#include <limits>

namespace SL {

namespace {

double ClampBetween(double value, double lo, double hi) {
    if (value < lo) return lo;
    if (value > hi) return hi;
    return value;
}

// The difference of two rounded positions, kept inside the int range.
int SpanInt(int from, int to) {
    const std::int64_t span = static_cast<std::int64_t>(to) - from;
    if (span > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (span < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(span);
}

bool IsPositionIndex(int index) { return index >= 0 && index < ALoop::POSITION_COUNT; }

}  // namespace

bool ALoop::IsValid() const {
    const double* p = positions;
    return p[LOWER_BOUND] <= p[PRE_START] && p[PRE_START] <= p[START] && p[START] <= p[END] && crossfadeB.length >= 0.0
           && crossfadeA.length >= 0.0 && crossfadeA.length + crossfadeB.length <= p[END] - p[START]
           && crossfadeB.factor >= 0.0 && crossfadeA.factor >= 0.0;
}

void ALoop::Clamp() {
    double* p = positions;
    const double start = p[START] < p[END] ? p[START] : p[END];
    const double end = p[START] < p[END] ? p[END] : p[START];
    p[START] = start;
    p[END] = end;
    if (p[START] < p[LOWER_BOUND]) p[LOWER_BOUND] = p[START];
    p[PRE_START] = ClampBetween(p[PRE_START], p[LOWER_BOUND], p[START]);
    const double loopLength = p[END] - p[START];
    crossfadeB.length = ClampBetween(crossfadeB.length, 0.0, loopLength);
    crossfadeA.length = ClampBetween(crossfadeA.length, 0.0, loopLength - crossfadeB.length);
    if (crossfadeA.factor < 0.0) crossfadeA.factor = 0.0;
    if (crossfadeB.factor < 0.0) crossfadeB.factor = 0.0;
}

bool operator==(const ALoop& a, const ALoop& b) {
    for (int i = 0; i < ALoop::POSITION_COUNT; ++i)
        if (a.positions[i] != b.positions[i]) return false;
    return a.crossfadeA.length == b.crossfadeA.length && a.crossfadeA.factor == b.crossfadeA.factor
           && a.crossfadeB.length == b.crossfadeB.length && a.crossfadeB.factor == b.crossfadeB.factor
           && a.mode == b.mode && a.lastValue == b.lastValue;
}

CLoop::CLoop() : m_record(new ALoop) {
    m_record->Clamp();
    GetDomain()->GetLoopDescription().Describe(this);
}

CLoop::CLoop(const CLoop& other) : AEntityBase<ILoop>(other), m_record(new ALoop(*other.m_record)) {}

bool CLoop::Equals(const CObject& other) const {
    const auto* loop = dynamic_cast<const CLoop*>(&other);
    return loop && GetEntityRecord() == loop->GetEntityRecord() && *m_record == *loop->m_record;
}

void CLoop::Activate() {
    m_record->Clamp();
    GetDomain()->GetLoopDescription().Describe(this);
}

bool CLoop::IsValid() const { return m_record->IsValid() && GetDomain()->GetLoopDescription().IsValid(this); }

int CLoop::SetPosition(int index, double value) {
    if (IsPositionIndex(index)) m_record->positions[index] = value;
    return index;
}

double CLoop::GetPosition(int index) const { return IsPositionIndex(index) ? m_record->positions[index] : 0.0; }

int CLoop::GetLowerBoundInt() const { return GT::RoundToInt(GetLowerBound()); }
int CLoop::GetPreStartInt() const { return GT::RoundToInt(GetPreStart()); }
int CLoop::GetStartInt() const { return GT::RoundToInt(GetStart()); }
int CLoop::GetEndInt() const { return GT::RoundToInt(GetEnd()); }
int CLoop::GetFifthPositionInt() const { return GT::RoundToInt(GetFifthPosition()); }
int CLoop::GetExtentLengthInt() const { return SpanInt(GetLowerBoundInt(), GetEndInt()); }
int CLoop::GetLoopLengthInt() const { return SpanInt(GetStartInt(), GetEndInt()); }
int CLoop::GetLeadLengthInt() const { return SpanInt(GetLowerBoundInt(), GetPreStartInt()); }
int CLoop::GetTailLengthInt() const { return SpanInt(GetPreStartInt(), GetEndInt()); }

void CLoop::Snap() {
    SetLowerBound(GetLowerBoundInt());
    SetPreStart(GetPreStartInt());
    SetStart(GetStartInt());
    SetEnd(GetEndInt());
    SetFifthPosition(GetFifthPositionInt());
    Activate();
}

}  // namespace SL
