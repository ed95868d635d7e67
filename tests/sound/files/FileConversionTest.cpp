// Files read through the file sample iterators, the stereo and bit-depth decorators, and
// written as 16-bit stereo WAV files: value for value what python3 computes from the same
// input file with the conversion rule (normalise by the source's zero and maximum, scale by
// the destination's, round half away from zero, clamp to the symmetric range). The inputs are
// made by sox; sox's own conversion scales differently and is no oracle for the values.

#include "sound/files/FileSampleIterators.h"
#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/StereoDecorator.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/pointer_cast.hpp>

namespace {

using SL::CBitDepth;
using SL::EBitDepth;

// The importer's chain and copy loop; false when any step fails.
bool ConvertToStereo16(const std::string& in, const std::string& out) {
    SL::CFileSampleIteratorFactory factory;
    auto input = factory.CreateInputIterator(in);
    if (!input) return false;
    const CBitDepth format = input->GetSampleAttribute().GetSampleFormat();
    if (input->GetSampleAttribute().GetChannelCount() == 1) input = SL::CreateStereoDecorator(format, input);
    input = SL::CreateBitDepthConvertDecorator(format, CBitDepth::INTEGER16, input);
    auto source = boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<EBitDepth::INTEGER16>>(input);
    if (!source) return false;
    auto sink = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<EBitDepth::INTEGER16>>(
        factory.CreateOutputIterator(source->GetSampleAttribute(), out, SL::CWaveFileFormat::WINWAVE));
    if (!sink) return false;
    while (source->HasNext()) {
        if (!sink->HasNext()) return false;
        sink->Set(source->Get());
        source->Next();
        sink->Next();
    }
    return source->IsGood() && sink->IsGood() && sink->Finish();
}

// Decodes the input with python's wave or aifc module, converts every value by the rule,
// duplicates mono values, and compares with the output file; prints "values N mismatches M".
const char* const kPythonCompare = R"(
import sys, wave, importlib, math, warnings
warnings.simplefilter('ignore')
src, out = sys.argv[1], sys.argv[2]
aiff = src.endswith('.aiff')
f = (importlib.import_module('aifc') if aiff else wave).open(src, 'rb')
w, ch, n = f.getsampwidth(), f.getnchannels(), f.getnframes()
raw = f.readframes(n)
if w == 1 and not aiff:
    zero, maximum, vals = 128, 255, list(raw)
else:
    zero, maximum = 0, (1 << (8 * w - 1)) - 1
    vals = [int.from_bytes(raw[i:i + w], 'big' if aiff else 'little', signed=True) for i in range(0, len(raw), w)]
def rule(x):
    v = (float(x) - zero) / float(maximum - zero) * 32767.0
    r = math.ceil(v - 0.5) if v < 0 else math.floor(v + 0.5)
    return min(max(r, -32767), 32767)
expected = []
for v in vals:
    expected += [rule(v)] * (2 if ch == 1 else 1)
o = wave.open(out, 'rb')
assert o.getnchannels() == 2 and o.getsampwidth() == 2 and o.getframerate() == f.getframerate()
got = o.readframes(o.getnframes())
got = [int.from_bytes(got[i:i + 2], 'little', signed=True) for i in range(0, len(got), 2)]
bad = sum(1 for a, b in zip(expected, got) if a != b) + abs(len(expected) - len(got))
print('values', len(got), 'mismatches', bad)
)";

TEST(FileConversion, EightBitMonoWavAndTwentyFourBitStereoAiffToSixteenBitStereo) {
    if (!gbxtest::HaveCommand("sox")) GTEST_SKIP() << "sox is not installed";
    struct Case {
        const char* name;
        const char* soxFormat;
        int values;  // in the 16-bit stereo output
    };
    const Case cases[] = {
        {"in8.wav", "-r 22050 -b 8 -c 1 -e unsigned-integer", 2 * 22050},
        {"in24.aiff", "-r 44100 -b 24 -c 2 -e signed-integer", 2 * 44100},
    };
    const bool haveAifc = gbxtest::HavePythonModule("aifc");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!haveAifc && std::string(c.name).find(".aiff") != std::string::npos) continue;
        gbxtest::TempDir dir;
        // Full-scale noise reaches both ends of the range; the sine passes through zero.
        ASSERT_EQ(0, gbxtest::Run(std::string("sox -D -n ") + c.soxFormat + " " + gbxtest::Quote(dir.File(c.name))
                                  + " synth 1 whitenoise sine 1000 gain -n 0")
                         .exitCode);
        ASSERT_TRUE(ConvertToStereo16(dir.File(c.name), dir.File("out.wav")));
        const auto result = gbxtest::Python(kPythonCompare, {dir.File(c.name), dir.File("out.wav")});
        ASSERT_EQ(0, result.exitCode);
        EXPECT_EQ("values " + std::to_string(c.values) + " mismatches 0\n", result.output);
    }
    if (!haveAifc) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
}

}  // namespace
