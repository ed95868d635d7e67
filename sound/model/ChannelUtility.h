#pragma once

// Analysis of one typed channel: its peak, the loudest sample of a stretch, zero crossings and
// local peaks of the magnitude. Positions are indices into the samples, 0 to n - 1.

#include "sound/model/Channel.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace SL {

class IChannelUtility {
public:
    virtual ~IChannelUtility() = default;
    // Stores the normalised magnitude of the loudest sample as the channel's peak (0.0 without samples).
    virtual void UpdatePeak() = 0;
    // The first loudest sample within the part of the extent inside the samples; the extent's
    // start when no part of it is inside.
    virtual int FindPeakIndex(const CExtent& range) const = 0;
    // From one step away from the position, the quieter sample of the first sign change on the
    // walk; the first index outside the samples when there is none (n for a step of 0 that
    // starts inside).
    virtual int FindZeroCrossing(int position, int step) const = 0;
    // From position + direction, the first sample that is the loudest of its window of
    // half-width width / 2, moving in the direction (-1 back, else forward); clamped to the
    // samples, unless that first candidate already lies outside them.
    virtual int FindPeak(int position, int direction, int width) const = 0;
    // The nearer of a backward and a forward search; a search that found nothing never wins
    // over one that did.
    virtual int FindNearestZeroCrossing(int position) const = 0;
    virtual int FindNearestPeak(int position, int width) const = 0;

protected:
    IChannelUtility() = default;
    IChannelUtility(const IChannelUtility&) = default;
    IChannelUtility& operator=(const IChannelUtility&) = default;
};

// How the utility reads a sample of format F: a sign value for crossings, a magnitude for
// comparisons (NaN compares false, so it never wins) and the peak value stored.
template <EBitDepth F, typename Enable = void>
struct CSampleMeasure;

template <EBitDepth F>
struct CSampleMeasure<F, std::enable_if_t<IsIntegerFormat(F)>> {
    using Traits = CSampleFormatTraits<F>;
    using Magnitude = double;
    static double Sign(SampleElement<F> x) { return static_cast<double>(std::int64_t{x} - Traits::ZERO); }
    static double Measure(SampleElement<F> x) { return std::fabs(Sign(x)); }
    static double Peak(SampleElement<F> x) {
        return std::fabs(Sign(x) / static_cast<double>(std::int64_t{Traits::MAXIMUM} - Traits::ZERO));
    }
};

template <EBitDepth F>
struct CSampleMeasure<F, std::enable_if_t<F == EBitDepth::FLOAT32 || F == EBitDepth::FLOAT64>> {
    using Magnitude = SampleElement<F>;
    static Magnitude Sign(Magnitude x) { return x; }
    static Magnitude Measure(Magnitude x) { return std::fabs(x); }
    static double Peak(Magnitude x) { return std::fabs(static_cast<double>(x)); }
};

template <EBitDepth F>
struct CSampleMeasure<F, std::enable_if_t<F == EBitDepth::COMPLEX32 || F == EBitDepth::COMPLEX64>> {
    using Magnitude = typename SampleElement<F>::value_type;
    static Magnitude Sign(const SampleElement<F>& x) {
        return x.real() == 0 && x.imag() == 0 ? Magnitude(0) : std::atan2(x.imag(), x.real());
    }
    static Magnitude Measure(const SampleElement<F>& x) { return x.real() * x.real() + x.imag() * x.imag(); }
    static double Peak(const SampleElement<F>& x) { return std::hypot(double{x.real()}, double{x.imag()}); }
};

template <EBitDepth F>
struct CSampleMeasure<F, std::enable_if_t<F == EBitDepth::POINT64>> {
    using Magnitude = double;
    static double Sign(const SampleElement<F>& p) { return p.x == 0 && p.y == 0 ? 0.0 : std::atan2(p.y, p.x); }
    static double Measure(const SampleElement<F>& p) { return p.x * p.x + p.y * p.y; }
    static double Peak(const SampleElement<F>& p) { return std::hypot(p.x, p.y); }
};

template <EBitDepth F>
class CChannelUtility : public IChannelUtility {
public:
    using Measure = CSampleMeasure<F>;
    using Magnitude = typename Measure::Magnitude;

    // The channel is not owned and must outlive the utility.
    explicit CChannelUtility(CChannel<F>* channel) : m_channel(channel) {}

    void UpdatePeak() override {
        const int n = Size();
        const SampleElement<F>* loudest = n == 0 ? nullptr : &Sample(LoudestIn(0, n));
        // Only a magnitude above 0 counts: a channel of NaN has the peak 0.0, not NaN.
        m_channel->SetPeak(loudest && Measure::Measure(*loudest) > 0 ? Measure::Peak(*loudest) : 0.0);
    }

    int FindPeakIndex(const CExtent& range) const override {
        const CExtent inside = IntersectRanges(range, CExtent(0, Size()));
        if (inside.start == inside.end) return range.start;
        return LoudestIn(inside.start, inside.end);
    }

    int FindZeroCrossing(int position, int step) const override {
        const std::int64_t n = Size();
        std::int64_t a = std::int64_t{position} + step;
        if (a < 0 || a >= n) return ToInt(a);
        if (step == 0) return ToInt(n);  // a walk that does not move finds nothing (and must not spin)
        auto previous = Measure::Sign(Sample(a));
        for (;;) {
            const std::int64_t b = a + step;
            if (b < 0 || b >= n) return ToInt(b);
            const auto current = Measure::Sign(Sample(b));
            if ((previous < 0 && current >= 0) || (previous > 0 && current <= 0))
                return ToInt(Measure::Measure(Sample(b)) > Measure::Measure(Sample(a)) ? a : b);
            a = b;
            previous = current;
        }
    }

    int FindPeak(int position, int direction, int width) const override {
        const std::int64_t n = Size();
        // The first candidate is one direction step away, whatever the step's size or sign;
        // only -1 searches backwards.
        std::int64_t a = std::int64_t{position} + direction;
        if (a < 0 || a >= n) return ToInt(a);
        std::int64_t h = width / 2;
        if (h < 1) h = 1;
        while (0 < a && a < n - 1) {
            const std::int64_t lo = a - h < 0 ? 0 : a - h;
            const std::int64_t hi = a + h > n - 1 ? n - 1 : a + h;
            std::int64_t first = lo, last = lo;
            Magnitude maximum = 0;
            for (std::int64_t i = lo; i <= hi; ++i) {
                const Magnitude m = Measure::Measure(Sample(i));
                if (m >= maximum) last = i;
                if (m > maximum) {
                    first = i;
                    maximum = m;
                }
            }
            if (direction == -1) {
                if (last == a) break;
                if (first >= a)
                    a = first - h - 1;
                else if (last > a)
                    a = last - first > h ? first : last - h - 1;
                else
                    a = last;
            } else {
                if (first == a) break;
                if (last <= a)
                    a = last + h + 1;
                else if (first > a)
                    a = first;
                else
                    a = last - first <= h ? first + h + 1 : last;
            }
        }
        return ToInt(a < 0 ? 0 : a > n - 1 ? n - 1 : a);
    }

    int FindNearestZeroCrossing(int position) const override {
        const std::int64_t p = position;
        return Nearer(p, FindZeroCrossing(ToInt(p + 2), -1), FindZeroCrossing(ToInt(p - 2), 1));
    }

    int FindNearestPeak(int position, int width) const override {
        const std::int64_t p = position;
        return Nearer(p, FindPeak(ToInt(p + 2), -1, width), FindPeak(ToInt(p - 2), 1, width));
    }

private:
    int Size() const { return m_channel->GetSize(); }
    const SampleElement<F>& Sample(std::int64_t i) const { return m_channel->GetData()[i]; }

    // The first index of the largest magnitude in [begin, end), begin when all are 0.
    int LoudestIn(int begin, int end) const {
        const SampleElement<F>* samples = m_channel->GetData();
        Magnitude maximum = 0;
        int result = begin;
        for (int i = begin; i < end; ++i) {
            const Magnitude m = Measure::Measure(samples[i]);
            if (m > maximum) {
                maximum = m;
                result = i;
            }
        }
        return result;
    }

    static int ToInt(std::int64_t value) {
        if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
        if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
        return static_cast<int>(value);
    }

    // Backward result b against forward result f; forward wins ties. An index outside the
    // samples means "not found" and loses to one inside.
    int Nearer(std::int64_t p, int b, int f) const {
        const bool foundBack = b >= 0 && b < Size();
        const bool foundForward = f >= 0 && f < Size();
        if (foundBack != foundForward) return foundBack ? b : f;
        return p - b < f - p ? b : f;
    }

    CChannel<F>* m_channel;
};

#define SL_DECLARE_CHANNEL_UTILITY(F) extern template class CChannelUtility<EBitDepth::F>;
SL_FOR_EACH_SAMPLE_FORMAT(SL_DECLARE_CHANNEL_UTILITY)
#undef SL_DECLARE_CHANNEL_UTILITY

}  // namespace SL
