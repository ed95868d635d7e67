// The sound library's small enumerations besides the sample-format code (BitDepth.h).
#pragma once

#include "sound/model/CodedEnumeration.h"

#include <cstdint>

namespace SL {

enum class EWaveFileFormat : int32_t { INVALID = 0, AIFF = 1, WINWAVE = 2 };

// Format of a sound file: AIFF is FORM AIFF, WINWAVE is RIFF WAVE.
class CWaveFileFormat : public CCodedEnumeration<CWaveFileFormat, EWaveFileFormat> {
public:
    static constexpr EWaveFileFormat INVALID = EWaveFileFormat::INVALID;
    static constexpr EWaveFileFormat AIFF = EWaveFileFormat::AIFF;
    static constexpr EWaveFileFormat WINWAVE = EWaveFileFormat::WINWAVE;

    static const GT::CStringTable& GetStringTable();
    using CCodedEnumeration::CCodedEnumeration;
    CWaveFileFormat() = default;
};

// Upper 16 bits: 1 for the sound kinds, 2 for the envelope kinds.
enum class EWaveFormat : int32_t {
    NONE = 0,
    WAVE = 0x1000A,
    FFT = 0x10014,
    PITCH = 0x10022,
    GENERAL = 0x10003,
    AMPLITUDE_ENVELOPE = 0x2000A,
    PITCH_ENVELOPE = 0x20022,
    FILTER_ENVELOPE = 0x20014,
    PHASE_ENVELOPE = 0x20044,
};

// The kind of content that a wave, a channel or an envelope carries.
class CWaveFormat : public CCodedEnumeration<CWaveFormat, EWaveFormat> {
public:
    static constexpr EWaveFormat NONE = EWaveFormat::NONE;
    static constexpr EWaveFormat WAVE = EWaveFormat::WAVE;
    static constexpr EWaveFormat FFT = EWaveFormat::FFT;
    static constexpr EWaveFormat PITCH = EWaveFormat::PITCH;
    static constexpr EWaveFormat GENERAL = EWaveFormat::GENERAL;
    static constexpr EWaveFormat AMPLITUDE_ENVELOPE = EWaveFormat::AMPLITUDE_ENVELOPE;
    static constexpr EWaveFormat PITCH_ENVELOPE = EWaveFormat::PITCH_ENVELOPE;
    static constexpr EWaveFormat FILTER_ENVELOPE = EWaveFormat::FILTER_ENVELOPE;
    static constexpr EWaveFormat PHASE_ENVELOPE = EWaveFormat::PHASE_ENVELOPE;

    static const GT::CStringTable& GetStringTable();
    using CCodedEnumeration::CCodedEnumeration;
    CWaveFormat() = default;
};

// The R modes are the plain ones with bit 3 added; 2, 4-6, 10 and 12-14 are not modes.
enum class ELoopMode : int32_t {
    ONESHOT = 0,
    FWD = 1,
    ALTPP = 3,
    ALTPM = 7,
    ONESHOTR = 8,
    FWDR = 9,
    ALTPPR = 11,
    ALTPMR = 15,
};

// How a loop of a wave is played; named "1SHOT", "FWD", "ALT++", "ALT+-" and the same with "R".
class CLoopMode : public CCodedEnumeration<CLoopMode, ELoopMode> {
public:
    static constexpr ELoopMode ONESHOT = ELoopMode::ONESHOT;
    static constexpr ELoopMode FWD = ELoopMode::FWD;
    static constexpr ELoopMode ALTPP = ELoopMode::ALTPP;
    static constexpr ELoopMode ALTPM = ELoopMode::ALTPM;
    static constexpr ELoopMode ONESHOTR = ELoopMode::ONESHOTR;
    static constexpr ELoopMode FWDR = ELoopMode::FWDR;
    static constexpr ELoopMode ALTPPR = ELoopMode::ALTPPR;
    static constexpr ELoopMode ALTPMR = ELoopMode::ALTPMR;

    static const GT::CStringTable& GetStringTable();
    using CCodedEnumeration::CCodedEnumeration;
    CLoopMode() = default;
};

enum class ECurveType : int32_t { LIN = 0, LOG = 1, SPL = 2 };

// The curve between envelope points. The envelope interface names it IEnvelope::CCurveType
// (an alias of this class).
class CEnvelopeCurveType : public CCodedEnumeration<CEnvelopeCurveType, ECurveType> {
public:
    static constexpr ECurveType LIN = ECurveType::LIN;
    static constexpr ECurveType LOG = ECurveType::LOG;
    static constexpr ECurveType SPL = ECurveType::SPL;

    static const GT::CStringTable& GetStringTable();
    using CCodedEnumeration::CCodedEnumeration;
    CEnvelopeCurveType() = default;
};

}  // namespace SL
