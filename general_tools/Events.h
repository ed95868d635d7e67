// Events that carry the object that sent them, and the root of listener interfaces.
#pragma once

#include <boost/any.hpp>

namespace GT {

class CEvent {
public:
    // Keeps its own copy of the source (typically a pointer to the sending control).
    explicit CEvent(const boost::any& source) : m_source(source) {}
    virtual ~CEvent() = default;

    // Listeners cast it back with boost::any_cast; a cast to another type throws
    // boost::bad_any_cast.
    const boost::any& GetSource() const { return m_source; }

private:
    boost::any m_source;
};

class IEventListener {
public:
    virtual ~IEventListener() = default;
};

}  // namespace GT
