#include "sound/model/Domain.h"

namespace SL {

namespace {

struct CDomainHolder {
    IDomain* current = nullptr;
    boost::shared_ptr<IDomain> owner;
};

CDomainHolder& DomainHolder() {
    static CDomainHolder holder;
    return holder;
}

}  // namespace

IEntityDescription<IWave>& CDefaultDomain::GetWaveDescription() {
    static CDefaultDescription<IWave> description;
    return description;
}

IEntityDescription<IChannel>& CDefaultDomain::GetChannelDescription() {
    static CDefaultDescription<IChannel> description;
    return description;
}

IEntityDescription<IEnvelope>& CDefaultDomain::GetEnvelopeDescription() {
    static CDefaultDescription<IEnvelope> description;
    return description;
}

IEntityDescription<ILoop>& CDefaultDomain::GetLoopDescription() {
    static CDefaultDescription<ILoop> description;
    return description;
}

IDomain* GetDomain() {
    CDomainHolder& holder = DomainHolder();
    if (!holder.current) InstallDefaultDomain();
    return holder.current;
}

void SetDomain(boost::shared_ptr<IDomain> domain) {
    CDomainHolder& holder = DomainHolder();
    holder.current = domain.get();
    holder.owner = domain;
}

void InstallDefaultDomain() { SetDomain(boost::shared_ptr<IDomain>(new CDefaultDomain)); }

}  // namespace SL
