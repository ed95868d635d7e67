// Reading and writing whole sample files through the file sample iterators, for the tests of
// the file sample streams, buffers and wave loading.
#pragma once

#include "sound/files/FileSampleIterators.h"

#include <boost/pointer_cast.hpp>

#include <string>
#include <vector>

namespace gbxtest {

template <SL::EBitDepth F>
using Values = std::vector<SL::SampleElement<F>>;

// Every value the input iterator of the file delivers, with its final IsGood.
template <SL::EBitDepth F>
struct ReadResult {
    bool opened = false;
    bool good = false;
    Values<F> values;
    SL::CSampleAttribute attribute;
};

template <SL::EBitDepth F>
ReadResult<F> ReadSampleFile(const std::string& path) {
    ReadResult<F> result;
    auto input = boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<F>>(
        SL::CFileSampleIteratorFactory().CreateInputIterator(path));
    if (!input) return result;
    result.opened = true;
    result.attribute = input->GetSampleAttribute();
    while (input->HasNext()) {
        result.values.push_back(input->Get());
        input->Next();
    }
    result.good = input->IsGood();
    return result;
}

// Writes the values with the system's copy loop and finishes the file; false at any failure.
// knownFrames: whether the attribute announces the frame count.
template <SL::EBitDepth F>
bool WriteSampleFile(const std::string& path, const Values<F>& values, int channels, double rate,
                     SL::EWaveFileFormat format, bool knownFrames = true) {
    SL::CSampleAttribute attribute(F, rate, channels, 1);
    if (knownFrames) attribute.SetFrames(static_cast<int32_t>(values.size() / channels));
    auto output = SL::CFileSampleIteratorFactory().CreateOutputIterator(attribute, path, format);
    auto typed = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<F>>(output);
    if (!typed) return false;
    for (auto value : values) {
        if (!typed->HasNext()) return false;
        typed->Set(value);
        typed->Next();
    }
    return typed->IsGood() && typed->Finish();
}

}  // namespace gbxtest
