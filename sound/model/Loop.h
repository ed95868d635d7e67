#pragma once

// Loops: how a wave is played in a sampler. Five positions on the wave's timeline (the third and
// the fourth enclose the looped part), two crossfades inside the loop, a mode and a last value.

#include "sound/model/Entity.h"
#include "sound/model/SoundEnumerations.h"

#include <boost/shared_ptr.hpp>

#include <utility>

namespace SL {

// The loop's attributes. Setters store anything; Clamp brings a record into range.
class ALoop {
public:
    enum : int {
        LOWER_BOUND = 0,  // start of the loop's extent
        PRE_START = 1,    // between the lower bound and the loop start
        START = 2,        // loop start
        END = 3,          // loop end, also the end of the extent
        FIFTH = 4,        // constrained by no rule
        POSITION_COUNT = 5,
    };

    struct CCrossfade {
        double length = 0.0;
        double factor = 0.5;
    };

    // Positions in order, crossfades not negative and fitting the loop together
    // (A + B <= end - start), factors not negative; NaN fails.
    bool IsValid() const;
    // Puts start and end in order, the lower bound and the pre-start below the start, fits the
    // crossfades into the loop (B first, then A into what is left) and lifts negative factors
    // to 0. The fifth position, the mode and the last value stay.
    void Clamp();

    friend bool operator==(const ALoop& a, const ALoop& b);
    friend bool operator!=(const ALoop& a, const ALoop& b) { return !(a == b); }

    double positions[POSITION_COUNT] = {0.0, 0.0, 0.0, 0.0, 0.0};
    CCrossfade crossfadeA;
    CCrossfade crossfadeB;
    CLoopMode mode = CLoopMode::ONESHOT;
    double lastValue = 0.0;
};

class ILoop : public IEntity {
public:
    using CRange = std::pair<double, double>;
    using CIntRange = std::pair<int, int>;

    virtual void SetLowerBound(double value) = 0;
    virtual void SetPreStart(double value) = 0;
    virtual void SetStart(double value) = 0;
    virtual void SetEnd(double value) = 0;
    virtual void SetFifthPosition(double value) = 0;
    // Sets the position with index 0 to 4; any other index changes nothing. Returns the index.
    virtual int SetPosition(int index, double value) = 0;
    virtual double GetLowerBound() const = 0;
    virtual double GetPreStart() const = 0;
    virtual double GetStart() const = 0;
    virtual double GetEnd() const = 0;
    virtual double GetFifthPosition() const = 0;
    // 0.0 for an index outside 0 to 4.
    virtual double GetPosition(int index) const = 0;

    // end - lower bound, end - start, pre-start - lower bound, end - pre-start.
    virtual double GetExtentLength() const = 0;
    virtual double GetLoopLength() const = 0;
    virtual double GetLeadLength() const = 0;
    virtual double GetTailLength() const = 0;
    // {lower bound, end}, {start, end}, {lower bound, pre-start}, {pre-start, end}.
    virtual CRange GetExtentRange() const = 0;
    virtual CRange GetLoopRange() const = 0;
    virtual CRange GetLeadRange() const = 0;
    virtual CRange GetTailRange() const = 0;

    // The positions rounded with GT::RoundToInt, and the spans and ranges made of them.
    virtual int GetLowerBoundInt() const = 0;
    virtual int GetPreStartInt() const = 0;
    virtual int GetStartInt() const = 0;
    virtual int GetEndInt() const = 0;
    virtual int GetFifthPositionInt() const = 0;
    virtual int GetExtentLengthInt() const = 0;
    virtual int GetLoopLengthInt() const = 0;
    virtual int GetLeadLengthInt() const = 0;
    virtual int GetTailLengthInt() const = 0;
    virtual CIntRange GetExtentRangeInt() const = 0;
    virtual CIntRange GetLoopRangeInt() const = 0;
    virtual CIntRange GetLeadRangeInt() const = 0;
    virtual CIntRange GetTailRangeInt() const = 0;

    // Each position to its rounded value, in index order, then Activate.
    virtual void Snap() = 0;

    virtual void SetCrossfadeALength(double length) = 0;
    virtual void SetCrossfadeBLength(double length) = 0;
    virtual void SetCrossfadeAFactor(double factor) = 0;
    virtual void SetCrossfadeBFactor(double factor) = 0;
    virtual double GetCrossfadeALength() const = 0;
    virtual double GetCrossfadeBLength() const = 0;
    virtual double GetCrossfadeAFactor() const = 0;
    virtual double GetCrossfadeBFactor() const = 0;

    virtual void SetMode(const CLoopMode& mode) = 0;
    virtual CLoopMode GetMode() const = 0;
    virtual void SetLastValue(double value) = 0;
    virtual double GetLastValue() const = 0;

protected:
    ILoop() = default;
    ILoop(const ILoop&) = default;
    ILoop& operator=(const ILoop&) = default;
};

class CLoop : public AEntityBase<ILoop> {
public:
    // Default records, clamped and described to the domain.
    CLoop();
    // New records copied from the other's; neither clamped nor described.
    CLoop(const CLoop& other);
    CLoop& operator=(const CLoop&) = delete;

    ICloneable* Clone() const override { return new CLoop(*this); }
    // Another CLoop with equal entity and loop records.
    bool Equals(const CObject& other) const override;
    void Activate() override;
    bool IsValid() const override;

    void SetLowerBound(double value) override { m_record->positions[ALoop::LOWER_BOUND] = value; }
    void SetPreStart(double value) override { m_record->positions[ALoop::PRE_START] = value; }
    void SetStart(double value) override { m_record->positions[ALoop::START] = value; }
    void SetEnd(double value) override { m_record->positions[ALoop::END] = value; }
    void SetFifthPosition(double value) override { m_record->positions[ALoop::FIFTH] = value; }
    int SetPosition(int index, double value) override;
    double GetLowerBound() const override { return m_record->positions[ALoop::LOWER_BOUND]; }
    double GetPreStart() const override { return m_record->positions[ALoop::PRE_START]; }
    double GetStart() const override { return m_record->positions[ALoop::START]; }
    double GetEnd() const override { return m_record->positions[ALoop::END]; }
    double GetFifthPosition() const override { return m_record->positions[ALoop::FIFTH]; }
    double GetPosition(int index) const override;

    double GetExtentLength() const override { return GetEnd() - GetLowerBound(); }
    double GetLoopLength() const override { return GetEnd() - GetStart(); }
    double GetLeadLength() const override { return GetPreStart() - GetLowerBound(); }
    double GetTailLength() const override { return GetEnd() - GetPreStart(); }
    CRange GetExtentRange() const override { return CRange(GetLowerBound(), GetEnd()); }
    CRange GetLoopRange() const override { return CRange(GetStart(), GetEnd()); }
    CRange GetLeadRange() const override { return CRange(GetLowerBound(), GetPreStart()); }
    CRange GetTailRange() const override { return CRange(GetPreStart(), GetEnd()); }

    int GetLowerBoundInt() const override;
    int GetPreStartInt() const override;
    int GetStartInt() const override;
    int GetEndInt() const override;
    int GetFifthPositionInt() const override;
    int GetExtentLengthInt() const override;
    int GetLoopLengthInt() const override;
    int GetLeadLengthInt() const override;
    int GetTailLengthInt() const override;
    CIntRange GetExtentRangeInt() const override { return CIntRange(GetLowerBoundInt(), GetEndInt()); }
    CIntRange GetLoopRangeInt() const override { return CIntRange(GetStartInt(), GetEndInt()); }
    CIntRange GetLeadRangeInt() const override { return CIntRange(GetLowerBoundInt(), GetPreStartInt()); }
    CIntRange GetTailRangeInt() const override { return CIntRange(GetPreStartInt(), GetEndInt()); }

    void Snap() override;

    void SetCrossfadeALength(double length) override { m_record->crossfadeA.length = length; }
    void SetCrossfadeBLength(double length) override { m_record->crossfadeB.length = length; }
    void SetCrossfadeAFactor(double factor) override { m_record->crossfadeA.factor = factor; }
    void SetCrossfadeBFactor(double factor) override { m_record->crossfadeB.factor = factor; }
    double GetCrossfadeALength() const override { return m_record->crossfadeA.length; }
    double GetCrossfadeBLength() const override { return m_record->crossfadeB.length; }
    double GetCrossfadeAFactor() const override { return m_record->crossfadeA.factor; }
    double GetCrossfadeBFactor() const override { return m_record->crossfadeB.factor; }

    void SetMode(const CLoopMode& mode) override { m_record->mode = mode; }
    CLoopMode GetMode() const override { return m_record->mode; }
    void SetLastValue(double value) override { m_record->lastValue = value; }
    double GetLastValue() const override { return m_record->lastValue; }

    const ALoop& GetLoopRecord() const { return *m_record; }

private:
    boost::shared_ptr<ALoop> m_record;
};

}  // namespace SL
