#include "sound/model/EntityRecords.h"

namespace SL {

namespace {

// Values that are not above 0 (negative, -0.0, NaN) become +0.0.
void LiftToZero(double& value) {
    if (!(value > 0.0)) value = 0.0;
}

bool NotNegative(double value) { return value >= 0.0; }

}  // namespace

AWave::AWave() : loop(new CLoop), envelope(new CEnvelope(CWaveFormat::NONE)) {}

AWave::AWave(const AWave& other)
    : waveFormat(other.waveFormat),
      sampleRate(other.sampleRate),
      bitDepth(other.bitDepth),
      integerPair(other.integerPair),
      integer(other.integer),
      lines(other.lines),
      firstString(other.firstString),
      secondString(other.secondString),
      firstPair(other.firstPair),
      secondPair(other.secondPair),
      loop(CloneShared(*other.loop)),
      envelope(CloneShared(*other.envelope)) {
    for (int i = 0; i < 3; ++i) {
        pitches[i] = other.pitches[i];
        parameters[i] = other.parameters[i];
    }
}

void AWave::Activate() {
    LiftToZero(sampleRate);
    for (double& pitch : pitches) LiftToZero(pitch);
    for (double& parameter : parameters) LiftToZero(parameter);
    if (!(integer > 0)) integer = 0;
    loop->Activate();
    envelope->Activate();
}

bool AWave::IsValid() const {
    if (!NotNegative(sampleRate)) return false;
    for (double pitch : pitches)
        if (!NotNegative(pitch)) return false;
    for (double parameter : parameters)
        if (!NotNegative(parameter)) return false;
    return integer >= 0 && loop->IsValid() && envelope->IsValid();
}

std::string AWave::GetLinesText() const {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

void AWave::SetLinesText(const std::string& text) {
    lines.clear();
    std::string::size_type from = 0;
    while (from < text.size()) {
        const std::string::size_type feed = text.find('\n', from);
        if (feed == std::string::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        lines.push_back(text.substr(from, feed - from));
        from = feed + 1;
    }
}

bool operator==(const AWave& a, const AWave& b) {
    if (a.waveFormat != b.waveFormat || a.sampleRate != b.sampleRate || a.bitDepth != b.bitDepth) return false;
    for (int i = 0; i < 3; ++i)
        if (a.pitches[i] != b.pitches[i]) return false;
    for (int i = 0; i < 3; ++i)
        if (a.parameters[i] != b.parameters[i]) return false;
    return a.integerPair == b.integerPair && a.integer == b.integer && a.lines == b.lines
           && a.firstString == b.firstString && a.secondString == b.secondString && a.firstPair == b.firstPair
           && a.secondPair == b.secondPair && a.envelope->Equals(*b.envelope) && a.loop->Equals(*b.loop);
}

AChannel::AChannel() : envelope(new CEnvelope(CWaveFormat::NONE)) {}

AChannel::AChannel(const AChannel& other)
    : waveFormat(other.waveFormat),
      factor(other.factor),
      pan(other.pan),
      peak(other.peak),
      envelope(CloneShared(*other.envelope)) {}

void AChannel::Activate() {
    if (pan < -1.0)
        pan = -1.0;
    else if (!(pan <= 1.0))
        pan = 1.0;
    envelope->Activate();
}

bool AChannel::IsValid() const { return pan >= -1.0 && pan <= 1.0 && envelope->IsValid(); }

bool operator==(const AChannel& a, const AChannel& b) {
    return a.waveFormat == b.waveFormat && a.factor == b.factor && a.pan == b.pan && a.peak == b.peak
           && a.envelope->Equals(*b.envelope);
}

}  // namespace SL
