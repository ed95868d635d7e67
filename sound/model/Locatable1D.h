// Frame position of a sample stream.
#pragma once

namespace SL {

class ILocatable1D {
public:
    virtual ~ILocatable1D() = default;
    // Makes the first value of the frame the current value.
    virtual void SetLocation(int frame) = 0;
    // The frame of the current value.
    virtual int GetLocation() const = 0;
    // GetLocation () + n.
    virtual int OffsetLocation(int n) const = 0;
};

}  // namespace SL
