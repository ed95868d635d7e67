#pragma once

// The attribute records of waves and channels. Each record owns its envelope (and a wave record
// its loop) and never shares them: a copy clones them.

#include "sound/model/BitDepth.h"
#include "sound/model/Envelope.h"
#include "sound/model/Loop.h"
#include "sound/model/SoundEnumerations.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace SL {

class AWave {
public:
    // A default loop and an envelope of wave format NONE, both described to the domain.
    AWave();
    // Every value copied; the loop and the envelope cloned.
    AWave(const AWave& other);
    AWave& operator=(const AWave&) = delete;

    // Sample rate, pitches and parameters that are not above 0 (NaN included) become +0.0, an
    // integer below 1 becomes 0; then the loop and the envelope are activated.
    void Activate();
    // The values Activate moves are in range, and the loop, then the envelope, are valid.
    bool IsValid() const;

    // Every line followed by a line feed.
    std::string GetLinesText() const;
    // The lines between line feeds; a final line feed starts no further line, a carriage
    // return stays part of its line.
    void SetLinesText(const std::string& text);

    // In field order; floats as numbers, the envelope and the loop by their value comparison.
    friend bool operator==(const AWave& a, const AWave& b);
    friend bool operator!=(const AWave& a, const AWave& b) { return !(a == b); }

    CWaveFormat waveFormat = CWaveFormat::NONE;
    double sampleRate = 32000.0;
    CBitDepth bitDepth = CBitDepth::NONE;
    double pitches[3] = {60.0, 60.0, 60.0};
    double parameters[3] = {120.0, 120.0, 120.0};
    std::pair<std::int32_t, std::int32_t> integerPair{0, 0};
    std::int32_t integer = 0;
    std::vector<std::string> lines;
    std::string firstString;
    std::string secondString;
    std::pair<double, double> firstPair{0.0, 0.0};
    std::pair<double, double> secondPair{0.0, 0.0};
    // Never empty.
    boost::shared_ptr<ILoop> loop;
    boost::shared_ptr<IEnvelope> envelope;
};

class AChannel {
public:
    // An envelope of wave format NONE, described to the domain.
    AChannel();
    // Every value copied; the envelope cloned.
    AChannel(const AChannel& other);
    AChannel& operator=(const AChannel&) = delete;

    // The pan into [-1, 1] (NaN becomes 1), then the envelope is activated.
    void Activate();
    // -1 <= pan <= 1, and the envelope is valid. Factor and peak are not tested.
    bool IsValid() const;

    friend bool operator==(const AChannel& a, const AChannel& b);
    friend bool operator!=(const AChannel& a, const AChannel& b) { return !(a == b); }

    CWaveFormat waveFormat = CWaveFormat::NONE;
    double factor = 1.0;
    double pan = 0.0;
    // Largest sample magnitude as a fraction of full scale.
    double peak = 1.0;
    // Never empty.
    boost::shared_ptr<IEnvelope> envelope;
};

}  // namespace SL
