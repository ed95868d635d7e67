// Iterator interfaces that walk a sequence one element at a time: whether a further element
// exists, moving on, and the typed read or write of the current one.
#pragma once

namespace GT {

class IIteratorBase {
public:
    virtual ~IIteratorBase() = default;
    virtual bool HasNext() const = 0;
    virtual void Next() = 0;
};

// Adds the typed read to an iterator interface.
template <typename T, typename TBase>
class IInputIterator : public TBase {
public:
    virtual T Get() const = 0;
};

// Adds the typed write; TRef is a const reference to the element type.
template <typename TRef, typename TBase>
class IOutputIterator : public TBase {
public:
    virtual void Set(TRef value) = 0;
};

}  // namespace GT
