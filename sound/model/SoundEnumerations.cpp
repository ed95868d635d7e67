#include "sound/model/SoundEnumerations.h"

#include <string>
#include <utility>
#include <vector>

namespace SL {

namespace {

template <typename E>
GT::CPairTable::Pair Row(E code, const char* name) {
    return {static_cast<int>(code), name};
}

}  // namespace

const GT::CStringTable& CWaveFileFormat::GetStringTable() {
    static const GT::CStringTable table({Row(INVALID, "INVALID"), Row(AIFF, "AIFF"), Row(WINWAVE, "WINWAVE")},
                                        {-1, std::string()});
    return table;
}

const GT::CStringTable& CWaveFormat::GetStringTable() {
    static const GT::CStringTable table(
        {
            Row(NONE, "NONE"),
            Row(WAVE, "WAVE"),
            Row(FFT, "FFT"),
            Row(PITCH, "PITCH"),
            Row(GENERAL, "GENERAL"),
            Row(AMPLITUDE_ENVELOPE, "AMPLITUDE_ENVELOPE"),
            Row(PITCH_ENVELOPE, "PITCH_ENVELOPE"),
            Row(FILTER_ENVELOPE, "FILTER_ENVELOPE"),
            Row(PHASE_ENVELOPE, "PHASE_ENVELOPE"),
        },
        {-1, std::string()});
    return table;
}

const GT::CStringTable& CLoopMode::GetStringTable() {
    static const GT::CStringTable table(
        {
            Row(ONESHOT, "1SHOT"),
            Row(FWD, "FWD"),
            Row(ALTPP, "ALT++"),
            Row(ALTPM, "ALT+-"),
            Row(ONESHOTR, "1SHOTR"),
            Row(FWDR, "FWDR"),
            Row(ALTPPR, "ALT++R"),
            Row(ALTPMR, "ALT+-R"),
        },
        {-1, std::string()});
    return table;
}

const GT::CStringTable& CEnvelopeCurveType::GetStringTable() {
    static const GT::CStringTable table({Row(LIN, "LIN"), Row(LOG, "LOG"), Row(SPL, "SPL")}, {-1, std::string()});
    return table;
}

}  // namespace SL
