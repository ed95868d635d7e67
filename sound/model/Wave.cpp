#include "sound/model/Wave.h"

#include "sound/model/Domain.h"

namespace SL {

template <EBitDepth F>
CWave<F>::CWave(CWaveFormat format) : m_wave(new AWave), m_channels(new Channels(format)) {
    m_wave->waveFormat = format;
    m_wave->bitDepth = GetNativeBitDepth();
    Activate();
}

template <EBitDepth F>
bool CWave<F>::Equals(const CObject& other) const {
    const auto* wave = dynamic_cast<const CWave*>(&other);
    return wave && GetEntityRecord() == wave->GetEntityRecord() && *m_wave == *wave->m_wave
           && m_channels->GetChannelCollection()->Equals(*wave->m_channels->GetChannelCollection());
}

template <EBitDepth F>
void CWave<F>::Activate() {
    m_wave->Activate();
    m_channels->Activate();
    GetDomain()->GetWaveDescription().Describe(this);
}

template <EBitDepth F>
bool CWave<F>::IsValid() const {
    return m_wave->IsValid() && m_channels->IsValid() && GetDomain()->GetWaveDescription().IsValid(this);
}

#define SL_INSTANTIATE_WAVE(F) template class CWave<EBitDepth::F>;
SL_FOR_EACH_FILE_FORMAT(SL_INSTANTIATE_WAVE)
#undef SL_INSTANTIATE_WAVE

}  // namespace SL
