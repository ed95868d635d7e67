// A set of listeners held by weak references, so that a control never keeps
// its listeners alive. A listener that is destroyed becomes an expired entry,
// which every query and every iteration skips.
#pragma once

#include "general_tools/Enumerations.h"  // GT::IIterator

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>
#include <cassert>
#include <functional>
#include <map>
#include <memory>

namespace GT {

template <class L>
class CSafeReferenceSet {
    using Map = std::map<const L*, boost::weak_ptr<L>, std::less<const L*>>;

public:
    // Yields the live listeners in address order. A listener that expires while
    // the iteration runs (even the one it stands on) is skipped, never thrown
    // out of the caller's loop. The set must outlive its iterators.
    class CIterator : public IIterator<boost::shared_ptr<L>> {
    public:
        explicit CIterator(const CSafeReferenceSet& set) : m_set(set), m_pos(set.m_map.begin()) {
            ++m_set.m_iterators;
            SkipExpired();
        }
        ~CIterator() override { --m_set.m_iterators; }
        CIterator(const CIterator&) = delete;
        CIterator& operator=(const CIterator&) = delete;

        bool HasNext() const override {
            SkipExpired();
            return m_pos != m_set.m_map.end();
        }

        // The next live listener, held alive while the caller uses it; an empty
        // pointer only when HasNext() is false.
        boost::shared_ptr<L> Next() override {
            SkipExpired();
            if (m_pos == m_set.m_map.end()) return boost::shared_ptr<L>();
            boost::shared_ptr<L> listener = m_pos->second.lock();
            ++m_pos;
            SkipExpired();
            return listener;
        }

    private:
        void SkipExpired() const {
            while (m_pos != m_set.m_map.end() && m_pos->second.expired()) ++m_pos;
        }

        const CSafeReferenceSet& m_set;
        mutable typename Map::const_iterator m_pos;
    };

    CSafeReferenceSet() = default;
    ~CSafeReferenceSet() { assert(m_iterators == 0); }
    CSafeReferenceSet(const CSafeReferenceSet&) = delete;
    CSafeReferenceSet& operator=(const CSafeReferenceSet&) = delete;

    // A listener appears once. An expired entry at the same address (a
    // destroyed listener whose memory was reused) is replaced.
    void Add(const boost::shared_ptr<L>& listener) {
        if (!listener) return;
        Purge();
        m_map[listener.get()] = listener;
    }

    // Stops notifying the listener. While an iteration runs the entry is only
    // marked expired, so the running iterator stays valid.
    void Remove(const L* listener) {
        auto it = m_map.find(listener);
        if (it == m_map.end()) return;
        if (m_iterators == 0)
            m_map.erase(it);
        else
            it->second.reset();
    }

    // True when no entry is live.
    bool IsEmpty() const {
        for (const auto& entry : m_map)
            if (!entry.second.expired()) return false;
        return true;
    }

    std::unique_ptr<CIterator> CreateIterator() const { return std::make_unique<CIterator>(*this); }

    // Calls f(listener) for each live listener in address order.
    template <class F>
    void ForEach(F&& f) const {
        CIterator it(*this);
        while (it.HasNext())
            if (boost::shared_ptr<L> listener = it.Next()) f(*listener);
    }

private:
    // Drops expired entries when no iterator stands in the map.
    void Purge() {
        if (m_iterators != 0) return;
        for (auto it = m_map.begin(); it != m_map.end();) it = it->second.expired() ? m_map.erase(it) : std::next(it);
    }

    Map m_map;
    mutable int m_iterators = 0;
};

}  // namespace GT
