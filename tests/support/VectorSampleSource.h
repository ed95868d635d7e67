// An input sample stream over values in memory, for tests and benchmarks of whatever reads sample
// iterators (decorators, encoders, file writers).
#pragma once

#include "sound/model/SampleIterator.h"

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace gbxtest {

// Reads its values in order. The attribute reports format F, the given channel count and rate,
// byte order 1, and the whole frames among the values.
// FailAfter (n) makes the stream fail once n values have been read: HasNext and IsGood turn false,
// as a file stream does on a read error.
template <SL::EBitDepth F>
class VectorSampleSource final : public SL::ITypedInputSampleIterator<F> {
public:
    using Element = SL::SampleElement<F>;

    explicit VectorSampleSource(std::vector<Element> values, int32_t channels = 1, double sampleRate = 44100.0)
        : m_values(std::move(values)), m_attribute(F, sampleRate, channels, 1) {
        m_attribute.SetFrames(channels > 0 ? static_cast<int32_t>(m_values.size() / channels) : 0);
    }

    VectorSampleSource& FailAfter(std::size_t valuesRead) {
        m_failAfter = valuesRead;
        return *this;
    }
    // Overrides the reported attribute (for tests of attribute copying).
    SL::CSampleAttribute& Attribute() { return m_attribute; }
    // The last argument that ToSourceCount was asked with.
    int64_t LastCountAsked() const { return m_lastCountAsked; }

    bool HasNext() const override { return m_good && m_index < m_values.size(); }
    void Next() override {
        ++m_index;
        if (m_index >= m_failAfter) m_good = false;
    }
    const SL::CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }
    bool IsGood() const override { return m_good; }
    int64_t ToSourceCount(int64_t count) const override {
        m_lastCountAsked = count;
        return count;
    }
    Element Get() const override { return m_index < m_values.size() ? m_values[m_index] : Element(); }

    void SetLocation(int frame) override { m_index = static_cast<std::size_t>(frame) * Channels(); }
    int GetLocation() const override { return static_cast<int>(m_index / Channels()); }
    int OffsetLocation(int n) const override { return GetLocation() + n; }

private:
    std::size_t Channels() const {
        return m_attribute.GetChannelCount() > 0 ? static_cast<std::size_t>(m_attribute.GetChannelCount()) : 1;
    }

    std::vector<Element> m_values;
    SL::CSampleAttribute m_attribute;
    std::size_t m_index = 0;
    std::size_t m_failAfter = static_cast<std::size_t>(-1);
    bool m_good = true;
    mutable int64_t m_lastCountAsked = 0;
};

template <SL::EBitDepth F>
boost::shared_ptr<VectorSampleSource<F>> MakeVectorSource(std::vector<SL::SampleElement<F>> values,
                                                          int32_t channels = 1, double sampleRate = 44100.0) {
    return boost::make_shared<VectorSampleSource<F>>(std::move(values), channels, sampleRate);
}

// Reads a stream to its end with the system's reading loop: while HasNext, Get, then Next.
template <typename T, typename Iterator>
std::vector<T> ReadAll(Iterator& iterator) {
    std::vector<T> values;
    while (iterator.HasNext()) {
        values.push_back(iterator.Get());
        iterator.Next();
    }
    return values;
}

}  // namespace gbxtest
