#pragma once

// The domain: a process-wide policy that gets the last word when an entity of each kind is
// built, activated or tested for validity.

#include <boost/shared_ptr.hpp>

namespace SL {

class IWave;
class IChannel;
class IEnvelope;
class ILoop;

// Hooks for one entity kind I (IWave, IChannel, IEnvelope or ILoop).
template <typename I>
class IEntityDescription {
public:
    virtual ~IEntityDescription() = default;
    // Called last by every constructor from arguments and every Activate of the kind.
    virtual void Describe(I* entity) = 0;
    // Called last by every IsValid of the kind, after the entity's own tests passed.
    virtual bool IsValid(const I* entity) = 0;
};

class IDomain {
public:
    virtual ~IDomain() = default;
    virtual IEntityDescription<IWave>& GetWaveDescription() = 0;
    virtual IEntityDescription<IChannel>& GetChannelDescription() = 0;
    virtual IEntityDescription<IEnvelope>& GetEnvelopeDescription() = 0;
    virtual IEntityDescription<ILoop>& GetLoopDescription() = 0;
};

// The system's domain: changes nothing and accepts everything.
class CDefaultDomain : public IDomain {
public:
    template <typename I>
    class CDefaultDescription : public IEntityDescription<I> {
    public:
        void Describe(I*) override {}
        bool IsValid(const I*) override { return true; }
    };

    IEntityDescription<IWave>& GetWaveDescription() override;
    IEntityDescription<IChannel>& GetChannelDescription() override;
    IEntityDescription<IEnvelope>& GetEnvelopeDescription() override;
    IEntityDescription<ILoop>& GetLoopDescription() override;
};

// The current domain (not owning); installs a default domain when there is none.
IDomain* GetDomain();
// Makes the given domain current; an empty pointer empties it, and the next GetDomain installs
// a new default domain. The previous domain goes when nothing else holds it.
void SetDomain(boost::shared_ptr<IDomain> domain);
void InstallDefaultDomain();

}  // namespace SL
