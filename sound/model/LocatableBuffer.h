#pragma once

// Stretches of the sample timeline, and buffers of samples placed on it.

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace SL {

// A half-open stretch of sample positions (frames), end exclusive.
class CExtent {
public:
    CExtent() : start(0), end(0) {}
    CExtent(std::int32_t startPosition, std::int32_t endPosition) : start(startPosition), end(endPosition) {}

    friend bool operator==(const CExtent& a, const CExtent& b) { return a.start == b.start && a.end == b.end; }
    friend bool operator!=(const CExtent& a, const CExtent& b) { return !(a == b); }

    std::int32_t start;
    std::int32_t end;
};

// The overlap of two extents; {0, 0} when they are apart. Extents that only touch give the empty
// extent {b.start, b.start}: callers treat start == end as no overlap.
inline CExtent IntersectRanges(const CExtent& a, const CExtent& b) {
    if (a.end < b.start || b.end < a.start) return CExtent();
    return CExtent(a.start > b.start ? a.start : b.start, a.end < b.end ? a.end : b.end);
}

class ILocatable2D {
public:
    virtual ~ILocatable2D() = default;
    virtual void SetRange(const CExtent& range) = 0;
    virtual CExtent GetRange() const = 0;

protected:
    ILocatable2D() = default;
    ILocatable2D(const ILocatable2D&) = default;
    ILocatable2D& operator=(const ILocatable2D&) = default;
};

template <typename T>
class ILocatableBuffer : public virtual ILocatable2D {
public:
    // Exchanges samples and start with another CLocatableBuffer<T>; std::bad_cast for any other
    // class, and then neither buffer changes.
    virtual void Swap(ILocatableBuffer& other) = 0;
    // The read-only forms go through the writable ones, so overriding those changes both.
    virtual const T* GetData() const { return const_cast<ILocatableBuffer*>(this)->GetData(); }
    virtual T* GetData() = 0;
    virtual const T* GetDataEnd() const { return const_cast<ILocatableBuffer*>(this)->GetDataEnd(); }
    virtual T* GetDataEnd() = 0;
    // No bounds check: the position must lie in [start, start + size].
    virtual const T* GetSampleAt(int position) const {
        return const_cast<ILocatableBuffer*>(this)->GetSampleAt(position);
    }
    virtual T* GetSampleAt(int position) = 0;
    virtual int GetSize() const = 0;
    // Factories of the element type; they do not use the object they are called on.
    virtual boost::shared_ptr<ILocatableBuffer> CreateFromData(const T* samples, const CExtent& range) const = 0;
    virtual boost::shared_ptr<ILocatableBuffer> CreateFromRange(const CExtent& range) const = 0;

protected:
    ILocatableBuffer() = default;
    ILocatableBuffer(const ILocatableBuffer&) = default;
    ILocatableBuffer& operator=(const ILocatableBuffer&) = default;
};

// Contiguous samples with the timeline position of the first: the extent is {start, start + n}.
// Setting the extent re-labels the samples (never shifts them): growing appends value-initialised
// samples at the end, shrinking drops samples from the end.
template <typename T>
class CLocatableBuffer : public ILocatableBuffer<T>, public std::vector<T> {
public:
    using Samples = std::vector<T>;

    CLocatableBuffer() : m_start(0) {}
    // end - start zero samples; std::length_error when end lies before start or the extent is
    // longer than an int counts.
    explicit CLocatableBuffer(const CExtent& range) : Samples(SizeOf(range)), m_start(range.start) {}
    // end - start samples copied from the pointer, which must address that many.
    CLocatableBuffer(const T* samples, const CExtent& range)
        : Samples(samples, samples + SizeOf(range)), m_start(range.start) {}
    CLocatableBuffer(const CLocatableBuffer& other) = default;
    CLocatableBuffer& operator=(const CLocatableBuffer& other) {
        Samples::operator=(other);
        m_start = other.m_start;
        return *this;
    }

    void SetRange(const CExtent& range) override {
        // Resize first: when it throws, the start stays.
        Samples::resize(SizeOf(range));
        m_start = range.start;
    }
    CExtent GetRange() const override {
        return CExtent(m_start, static_cast<std::int32_t>(m_start + static_cast<std::int64_t>(Samples::size())));
    }

    void Swap(ILocatableBuffer<T>& other) override {
        auto& buffer = dynamic_cast<CLocatableBuffer&>(other);
        Samples::swap(buffer);
        std::swap(m_start, buffer.m_start);
    }

    using ILocatableBuffer<T>::GetData;
    using ILocatableBuffer<T>::GetDataEnd;
    using ILocatableBuffer<T>::GetSampleAt;
    T* GetData() override { return Samples::empty() ? nullptr : Samples::data(); }
    T* GetDataEnd() override { return Samples::empty() ? nullptr : Samples::data() + Samples::size(); }
    T* GetSampleAt(int position) override { return GetData() + (static_cast<std::int64_t>(position) - m_start); }
    int GetSize() const override { return static_cast<int>(Samples::size()); }

    boost::shared_ptr<ILocatableBuffer<T>> CreateFromData(const T* samples, const CExtent& range) const override {
        return boost::shared_ptr<ILocatableBuffer<T>>(new CLocatableBuffer(samples, range));
    }
    boost::shared_ptr<ILocatableBuffer<T>> CreateFromRange(const CExtent& range) const override {
        return boost::shared_ptr<ILocatableBuffer<T>>(new CLocatableBuffer(range));
    }

    std::int32_t GetStart() const { return m_start; }

    // Same samples pairwise (the element type's own ==) and the same start.
    friend bool operator==(const CLocatableBuffer& a, const CLocatableBuffer& b) {
        return a.m_start == b.m_start && static_cast<const Samples&>(a) == static_cast<const Samples&>(b);
    }
    friend bool operator!=(const CLocatableBuffer& a, const CLocatableBuffer& b) { return !(a == b); }

private:
    static typename Samples::size_type SizeOf(const CExtent& range) {
        if (range.end < range.start) throw std::length_error("extent ends before it starts");
        // GetSize counts in int: a longer extent could not be told apart from a short one.
        const std::int64_t size = static_cast<std::int64_t>(range.end) - range.start;
        if (size > std::numeric_limits<int>::max()) throw std::length_error("extent longer than a buffer can count");
        return static_cast<typename Samples::size_type>(size);
    }

    std::int32_t m_start;
};

}  // namespace SL
