#pragma once

// The typed face of a channel collection: one class per sample format, owning a
// CChannelCollection whose factory makes CChannel<F>, with the container operations of a vector
// over its channel list, typed to CChannel<F>.

#include "sound/model/ChannelCollection.h"
#include "sound/model/ChannelIterators.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <stdexcept>

namespace SL {

template <typename T>
class IStlSharedPtrVector {
public:
    using size_type = std::uint32_t;
    using const_iterator = CRandomAccessIterator<1, T>;
    using iterator = CRandomAccessIterator<0, T>;
    using Pointer = boost::shared_ptr<T>;

    virtual ~IStlSharedPtrVector() {}
    virtual void assign(size_type count, Pointer channel) = 0;
    virtual size_type size() const = 0;
    virtual size_type max_size() const = 0;
    virtual bool empty() const = 0;
    virtual size_type capacity() const = 0;
    virtual void resize(size_type count, Pointer channel) = 0;
    // Growing appends empty entries, not channels.
    virtual void resize(size_type count) = 0;
    virtual void reserve(size_type count) = 0;
    virtual const_iterator begin() const = 0;
    virtual iterator begin() = 0;
    virtual const_iterator end() const = 0;
    virtual iterator end() = 0;
    // Iterators without implementation: they may only be destroyed or assigned to.
    virtual const_iterator rbegin() const = 0;
    virtual iterator rbegin() = 0;
    virtual const_iterator rend() const = 0;
    virtual iterator rend() = 0;
    // The typed accessors give null for an empty entry or a channel of another class, front and
    // back also on an empty list. operator[] does not check the index; at throws std::out_of_range.
    virtual const T* front() const = 0;
    virtual T* front() = 0;
    virtual const T* back() const = 0;
    virtual T* back() = 0;
    virtual const T* operator[](size_type index) const = 0;
    virtual T* operator[](size_type index) = 0;
    virtual const T* at(size_type index) const = 0;
    virtual T* at(size_type index) = 0;
    // No index check.
    virtual void set_at(size_type index, Pointer channel) = 0;
    // Shares the entry; empty for an empty entry or another class; std::out_of_range past the end.
    virtual Pointer shared_at(size_type index) const = 0;
    virtual void clear() = 0;
    virtual void push_back(Pointer channel) = 0;
    // Nothing on an empty list.
    virtual void pop_back() = 0;
    // Positions must come from this collection, unchanged since; std::invalid_argument for an
    // iterator without implementation.
    virtual void insert(iterator position, size_type count, Pointer channel) = 0;
    virtual iterator insert(iterator position, Pointer channel) = 0;
    virtual iterator erase(iterator first, iterator last) = 0;
    virtual iterator erase(iterator position) = 0;
};

// Implements the vector interface on a vector of shared pointers to S, reached through GetVector.
template <typename S, typename T>
class CStlSharedPtrVectorMixin : public IStlSharedPtrVector<T> {
    using Base = IStlSharedPtrVector<T>;

public:
    using typename Base::const_iterator;
    using typename Base::iterator;
    using typename Base::Pointer;
    using typename Base::size_type;
    using Vector = std::vector<boost::shared_ptr<S>>;
    using Policy = CSharedPtrContainerIteratorPolicyTyper<Vector>;

    virtual const Vector& GetVector() const = 0;
    virtual Vector& GetVector() = 0;

    void assign(size_type count, Pointer channel) override { GetVector().assign(count, Stored(channel)); }
    size_type size() const override { return static_cast<size_type>(GetVector().size()); }
    size_type max_size() const override {
        const auto limit = GetVector().max_size();
        return limit > UINT32_MAX ? UINT32_MAX : static_cast<size_type>(limit);
    }
    bool empty() const override { return GetVector().empty(); }
    size_type capacity() const override { return static_cast<size_type>(GetVector().capacity()); }
    void resize(size_type count, Pointer channel) override { GetVector().resize(count, Stored(channel)); }
    void resize(size_type count) override { GetVector().resize(count); }
    void reserve(size_type count) override { GetVector().reserve(count); }

    const_iterator begin() const override { return ConstAt(GetVector().begin()); }
    iterator begin() override { return MutableAt(GetVector().begin()); }
    const_iterator end() const override { return ConstAt(GetVector().end()); }
    iterator end() override { return MutableAt(GetVector().end()); }
    const_iterator rbegin() const override { return const_iterator(); }
    iterator rbegin() override { return iterator(); }
    const_iterator rend() const override { return const_iterator(); }
    iterator rend() override { return iterator(); }

    const T* front() const override { return empty() ? nullptr : TypedChannel<T>(GetVector().front()); }
    T* front() override { return empty() ? nullptr : TypedChannel<T>(GetVector().front()); }
    const T* back() const override { return empty() ? nullptr : TypedChannel<T>(GetVector().back()); }
    T* back() override { return empty() ? nullptr : TypedChannel<T>(GetVector().back()); }
    const T* operator[](size_type index) const override { return TypedChannel<T>(GetVector()[index]); }
    T* operator[](size_type index) override { return TypedChannel<T>(GetVector()[index]); }
    const T* at(size_type index) const override { return TypedChannel<T>(GetVector().at(index)); }
    T* at(size_type index) override { return TypedChannel<T>(GetVector().at(index)); }
    void set_at(size_type index, Pointer channel) override { GetVector()[index] = Stored(channel); }
    Pointer shared_at(size_type index) const override { return boost::dynamic_pointer_cast<T>(GetVector().at(index)); }
    void clear() override { GetVector().clear(); }
    void push_back(Pointer channel) override { GetVector().push_back(Stored(channel)); }
    void pop_back() override {
        if (!GetVector().empty()) GetVector().pop_back();
    }
    void insert(iterator position, size_type count, Pointer channel) override {
        GetVector().insert(PositionOf(position), count, Stored(channel));
    }
    iterator insert(iterator position, Pointer channel) override {
        Vector& vector = GetVector();
        const auto index = PositionOf(position) - vector.begin();
        vector.insert(PositionOf(position), Stored(channel));
        return MutableAt(vector.begin() + index);
    }
    iterator erase(iterator first, iterator last) override {
        Vector& vector = GetVector();
        if (vector.empty()) return begin();
        return MutableAt(vector.erase(PositionOf(first), PositionOf(last)));
    }
    iterator erase(iterator position) override {
        Vector& vector = GetVector();
        if (vector.empty()) return begin();
        return MutableAt(vector.erase(PositionOf(position)));
    }

private:
    using MutableImplement = CRandomAccessIteratorImplement<0, T, Policy>;
    using ConstImplement = CRandomAccessIteratorImplement<1, T, Policy>;

    static boost::shared_ptr<S> Stored(const Pointer& channel) { return channel; }
    static iterator MutableAt(typename Vector::iterator position) { return iterator(MutableImplement(position)); }
    static const_iterator ConstAt(typename Vector::const_iterator position) {
        return const_iterator(ConstImplement(position));
    }
    static typename Vector::iterator PositionOf(iterator& position) {
        const auto* implement = dynamic_cast<const MutableImplement*>(position.GetImplement());
        if (!implement) throw std::invalid_argument("not a position of a channel collection");
        return implement->GetPosition();
    }
};

template <EBitDepth F>
class CTypedChannelCollection : public CStlSharedPtrVectorMixin<IChannel, CChannel<F>>, public IChannelCollection {
public:
    using Channel = CChannel<F>;
    using Vector = ChannelVector;
    static constexpr EBitDepth FORMAT = F;

    // Empty; Resize makes CChannel<F> of the format.
    explicit CTypedChannelCollection(CWaveFormat format);
    // A new wrapped collection copied from the other's (channels cloned when deep is set).
    CTypedChannelCollection(const CTypedChannelCollection& other, bool deep)
        : CStlSharedPtrVectorMixin<IChannel, Channel>(),
          IChannelCollection(),
          m_channels(new CChannelCollection(*other.m_channels, deep)) {}
    CTypedChannelCollection& operator=(const CTypedChannelCollection&) = delete;

    boost::shared_ptr<CChannelCollection> GetChannelCollection() const { return m_channels; }
    // Installs the collection as it is (its format, factory and channels); std::invalid_argument
    // for an empty pointer, which would leave nothing to forward to.
    void SetChannelCollection(boost::shared_ptr<CChannelCollection> channels) {
        if (!channels) throw std::invalid_argument("no channel collection");
        m_channels = std::move(channels);
    }

    const Vector& GetVector() const override { return *m_channels; }
    Vector& GetVector() override { return *m_channels; }

    CTypedChannelCollection* Clone() const override { return new CTypedChannelCollection(*this, true); }
    // Another typed collection of this format whose wrapped collection is equal.
    bool Equals(const CObject& other) const override {
        const auto* typed = dynamic_cast<const CTypedChannelCollection*>(&other);
        return typed && m_channels->Equals(*typed->m_channels);
    }
    void Resize(int count) override { m_channels->Resize(count); }
    void Activate() override { m_channels->Activate(); }
    bool IsValid() const override { return m_channels->IsValid(); }
    // Also every channel a CChannel<F> or a CNullChannel.
    bool IsUniform() const override;
    bool IsStereo() const override { return m_channels->IsStereo(); }
    CWaveFormat GetWaveFormat() const override { return m_channels->GetWaveFormat(); }
    void SetRange(const CExtent& range) override { m_channels->SetRange(range); }
    CExtent GetRange() const override { return m_channels->GetRange(); }

    using CStlSharedPtrVectorMixin<IChannel, Channel>::size;
    using CStlSharedPtrVectorMixin<IChannel, Channel>::empty;

private:
    boost::shared_ptr<CChannelCollection> m_channels;
};

// The typed factory: a new CChannel<F> of the given content kind.
template <EBitDepth F>
boost::shared_ptr<IChannel> CreateChannel(CWaveFormat format) {
    return boost::shared_ptr<CChannel<F>>(new CChannel<F>(format));
}

// The collection that the typed one wraps; it outlives its typed face and keeps the typed factory.
template <EBitDepth F>
boost::shared_ptr<CChannelCollection> ToChannelCollection(boost::shared_ptr<CTypedChannelCollection<F>> typed) {
    return typed->GetChannelCollection();
}

template <EBitDepth F>
CTypedChannelCollection<F>::CTypedChannelCollection(CWaveFormat format) : m_channels(new CChannelCollection(format)) {
    m_channels->SetChannelFactory(&CreateChannel<F>);
}

template <EBitDepth F>
bool CTypedChannelCollection<F>::IsUniform() const {
    if (!m_channels->IsUniform()) return false;
    for (const auto& channel : static_cast<const Vector&>(*m_channels))
        if (!dynamic_cast<const Channel*>(channel.get()) && !dynamic_cast<const CNullChannel*>(channel.get()))
            return false;
    return true;
}

#define SL_DECLARE_TYPED_COLLECTION(F)                           \
    extern template class CTypedChannelCollection<EBitDepth::F>; \
    extern template class CStlSharedPtrVectorMixin<IChannel, CChannel<EBitDepth::F>>;
SL_FOR_EACH_SAMPLE_FORMAT(SL_DECLARE_TYPED_COLLECTION)
#undef SL_DECLARE_TYPED_COLLECTION

}  // namespace SL
