#pragma once

// Positions in a typed channel collection. The collection's container operations are virtual,
// so a position is a value object owning a small polymorphic implementation that holds the
// real vector position. Flag 0 iterates a mutable collection, flag 1 a const one.

#include "sound/model/Channel.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace SL {

// The raw vector position for each flag.
template <typename Vector>
struct CSharedPtrContainerIteratorPolicyTyper {
    template <int Flag>
    using Position = std::conditional_t<Flag == 0, typename Vector::iterator, typename Vector::const_iterator>;
};

using ChannelVector = std::vector<boost::shared_ptr<IChannel>>;
using ChannelIteratorPolicy = CSharedPtrContainerIteratorPolicyTyper<ChannelVector>;

template <int Flag, typename C>
class CIteratorTraits {
public:
    using value_type = C;
    using pointer = C*;
    using reference = C&;
    using difference_type = int;
    static constexpr int FLAG = Flag;
};

template <int Flag, typename C>
class ITrivialIterator : public CObject, public CIteratorTraits<Flag, C> {
public:
    // The channel at the position as C, or null when the entry is empty or holds another class.
    virtual C* Dereference() const = 0;
    virtual C* Arrow() const = 0;
};

template <int Flag, typename C>
class IForwardIterator : public ITrivialIterator<Flag, C> {
public:
    virtual IForwardIterator& Increment() = 0;
};

template <int Flag, typename C>
class IBidirectionalIterator : public IForwardIterator<Flag, C> {
public:
    virtual IBidirectionalIterator& Decrement() = 0;
};

template <int Flag, typename C>
class IRandomAccessIterator : public IBidirectionalIterator<Flag, C> {
public:
    virtual IRandomAccessIterator& Advance(int n) = 0;
    virtual IRandomAccessIterator& Retreat(int n) = 0;
    // Elements from the other position to this one; 0 for an iterator of another flag or format.
    virtual int Difference(const IRandomAccessIterator& other) const = 0;
    virtual C* At(int n) const = 0;
    // Whether this position lies before the other's; false for another flag or format.
    virtual bool Less(const IRandomAccessIterator& other) const = 0;
};

// Typed access to an entry checks the channel's class: collections routinely hold null channels.
template <typename C>
inline C* TypedChannel(const boost::shared_ptr<IChannel>& entry) {
    return dynamic_cast<C*>(entry.get());
}

template <int Flag, typename C, typename Policy, typename Interface = IRandomAccessIterator<Flag, C>>
class CTrivialIteratorImplement : public Interface {
public:
    using Position = typename Policy::template Position<Flag>;

    explicit CTrivialIteratorImplement(Position position) : m_position(position) {}

    ICloneable* Clone() const override { return nullptr; }
    bool Equals(const CObject& other) const override {
        const auto* same = dynamic_cast<const CTrivialIteratorImplement*>(&other);
        return same && same->m_position == m_position;
    }
    C* Dereference() const override { return TypedChannel<C>(*m_position); }
    C* Arrow() const override { return Dereference(); }

    Position GetPosition() const { return m_position; }

protected:
    Position m_position;
};

template <int Flag, typename C, typename Policy, typename Interface = IRandomAccessIterator<Flag, C>>
class CForwardIteratorImplement : public CTrivialIteratorImplement<Flag, C, Policy, Interface> {
public:
    using CTrivialIteratorImplement<Flag, C, Policy, Interface>::CTrivialIteratorImplement;
    Interface& Increment() override {
        ++this->m_position;
        return *this;
    }
};

template <int Flag, typename C, typename Policy, typename Interface = IRandomAccessIterator<Flag, C>>
class CBidirectionalIteratorImplement : public CForwardIteratorImplement<Flag, C, Policy, Interface> {
public:
    using CForwardIteratorImplement<Flag, C, Policy, Interface>::CForwardIteratorImplement;
    Interface& Decrement() override {
        --this->m_position;
        return *this;
    }
};

template <int Flag, typename C, typename Policy = ChannelIteratorPolicy>
class CRandomAccessIteratorImplement
    : public CBidirectionalIteratorImplement<Flag, C, Policy, IRandomAccessIterator<Flag, C>> {
    using Base = CBidirectionalIteratorImplement<Flag, C, Policy, IRandomAccessIterator<Flag, C>>;
    using Interface = IRandomAccessIterator<Flag, C>;

public:
    using Base::Base;

    ICloneable* Clone() const override { return new CRandomAccessIteratorImplement(*this); }
    bool Equals(const CObject& other) const override {
        const auto* same = dynamic_cast<const CRandomAccessIteratorImplement*>(&other);
        return same && same->m_position == this->m_position;
    }
    Interface& Advance(int n) override {
        this->m_position += n;
        return *this;
    }
    Interface& Retreat(int n) override {
        this->m_position -= n;
        return *this;
    }
    int Difference(const Interface& other) const override {
        const auto* same = dynamic_cast<const CRandomAccessIteratorImplement*>(&other);
        return same ? static_cast<int>(this->m_position - same->m_position) : 0;
    }
    C* At(int n) const override { return TypedChannel<C>(this->m_position[n]); }
    bool Less(const Interface& other) const override {
        const auto* same = dynamic_cast<const CRandomAccessIteratorImplement*>(&other);
        return same && this->m_position < same->m_position;
    }

protected:
    CRandomAccessIteratorImplement(const CRandomAccessIteratorImplement&) = default;
};

// The value iterators. Each owns its implementation (or none: such an iterator may only be
// destroyed or assigned to); copies clone it.
template <int Flag, typename C>
class CTrivialIterator : public CIteratorTraits<Flag, C> {
public:
    using Implement = IRandomAccessIterator<Flag, C>;

    CTrivialIterator() : m_implement(nullptr) {}
    // Keeps a clone; the caller's implementation stays the caller's.
    explicit CTrivialIterator(const Implement& implement) : m_implement(CloneOf(&implement)) {}
    CTrivialIterator(const CTrivialIterator& other) : m_implement(CloneOf(other.m_implement)) {}
    CTrivialIterator& operator=(const CTrivialIterator& other) {
        if (this != &other) {
            Implement* copy = CloneOf(other.m_implement);
            delete m_implement;
            m_implement = copy;
        }
        return *this;
    }
    ~CTrivialIterator() { delete m_implement; }

    virtual Implement* GetImplement() { return m_implement; }
    virtual const Implement* GetImplement() const { return m_implement; }

    C* operator*() const { return m_implement->Dereference(); }
    C* operator->() const { return m_implement->Arrow(); }
    friend bool operator==(const CTrivialIterator& a, const CTrivialIterator& b) {
        return a.m_implement->Equals(*b.m_implement);
    }
    friend bool operator!=(const CTrivialIterator& a, const CTrivialIterator& b) { return !(a == b); }

private:
    static Implement* CloneOf(const Implement* implement) {
        return implement ? static_cast<Implement*>(implement->Clone()) : nullptr;
    }

    Implement* m_implement;
};

template <int Flag, typename C>
class CForwardIterator : public CTrivialIterator<Flag, C> {
public:
    using CTrivialIterator<Flag, C>::CTrivialIterator;
};

template <int Flag, typename C>
class CBidirectionalIterator : public CForwardIterator<Flag, C> {
public:
    using CForwardIterator<Flag, C>::CForwardIterator;
};

template <int Flag, typename C>
class CRandomAccessIterator : public CBidirectionalIterator<Flag, C> {
public:
    using Implement = IRandomAccessIterator<Flag, C>;
    using CBidirectionalIterator<Flag, C>::CBidirectionalIterator;

    virtual bool Less(const CRandomAccessIterator& other) const {
        return this->GetImplement()->Less(*other.GetImplement());
    }

    CRandomAccessIterator& operator++() {
        this->GetImplement()->Increment();
        return *this;
    }
    CRandomAccessIterator operator++(int) {
        CRandomAccessIterator before(*this);
        ++*this;
        return before;
    }
    CRandomAccessIterator& operator--() {
        this->GetImplement()->Decrement();
        return *this;
    }
    CRandomAccessIterator operator--(int) {
        CRandomAccessIterator before(*this);
        --*this;
        return before;
    }
    CRandomAccessIterator& operator+=(int n) {
        this->GetImplement()->Advance(n);
        return *this;
    }
    CRandomAccessIterator& operator-=(int n) {
        this->GetImplement()->Retreat(n);
        return *this;
    }
    friend CRandomAccessIterator operator+(CRandomAccessIterator i, int n) { return i += n; }
    friend CRandomAccessIterator operator+(int n, CRandomAccessIterator i) { return i += n; }
    friend CRandomAccessIterator operator-(CRandomAccessIterator i, int n) { return i -= n; }
    friend int operator-(const CRandomAccessIterator& a, const CRandomAccessIterator& b) {
        return a.GetImplement()->Difference(*b.GetImplement());
    }
    C* operator[](int n) const { return this->GetImplement()->At(n); }

    friend bool operator<(const CRandomAccessIterator& a, const CRandomAccessIterator& b) { return a.Less(b); }
    friend bool operator>(const CRandomAccessIterator& a, const CRandomAccessIterator& b) { return b.Less(a); }
    friend bool operator<=(const CRandomAccessIterator& a, const CRandomAccessIterator& b) { return !b.Less(a); }
    friend bool operator>=(const CRandomAccessIterator& a, const CRandomAccessIterator& b) { return !a.Less(b); }
};

}  // namespace SL
