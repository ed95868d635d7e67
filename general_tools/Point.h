#pragma once

// A two-dimensional point, x then y; the element of POINT64 samples.

namespace GT {

template <typename T>
class CPointT {
public:
    CPointT() : x(), y() {}
    CPointT(T xValue, T yValue) : x(xValue), y(yValue) {}

    // Member by member, floats as numbers (NaN equals nothing, +0 equals -0).
    friend bool operator==(const CPointT& a, const CPointT& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const CPointT& a, const CPointT& b) { return !(a == b); }

    T x;
    T y;
};

}  // namespace GT
