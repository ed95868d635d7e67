#pragma once

// Root interfaces of the sound model's objects and entities, and the common entity record.

#include <boost/shared_ptr.hpp>

#include <string>
#include <typeinfo>

namespace SL {

class ICloneable {
public:
    virtual ~ICloneable() = default;
    // A new heap copy, owned by the caller.
    virtual ICloneable* Clone() const = 0;

protected:
    ICloneable() = default;
    ICloneable(const ICloneable&) = default;
    ICloneable& operator=(const ICloneable&) = default;
};

// Root of the model's objects. Until a class replaces them, Clone gives nothing and an object
// equals only itself.
class CObject : public ICloneable {
public:
    CObject() = default;
    ICloneable* Clone() const override { return nullptr; }
    virtual bool Equals(const CObject& other) const { return &other == this; }

protected:
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

class IActivatable {
public:
    virtual ~IActivatable() = default;
    virtual void SetActive(bool active) = 0;
    virtual bool IsActive() const = 0;

protected:
    IActivatable() = default;
    IActivatable(const IActivatable&) = default;
    IActivatable& operator=(const IActivatable&) = default;
};

class INamable {
public:
    virtual ~INamable() = default;
    virtual void SetName(const std::string& name) = 0;
    virtual const std::string& GetName() const = 0;

protected:
    INamable() = default;
    INamable(const INamable&) = default;
    INamable& operator=(const INamable&) = default;
};

// Waves, channels, envelopes and loops. Setters store any value; IsValid reports values out of
// range and Activate moves them into range, then hands the entity to its domain description.
class IEntity : public CObject, public IActivatable, public INamable {
public:
    ICloneable* Clone() const override = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual const std::string& GetText() const = 0;
    virtual void SetSecondText(const std::string& text) = 0;
    virtual const std::string& GetSecondText() const = 0;
    virtual void Activate() = 0;
    virtual bool IsValid() const = 0;

protected:
    IEntity() = default;
    IEntity(const IEntity&) = default;
    IEntity& operator=(const IEntity&) = default;
};

// The attributes every entity has. Any value is valid.
class AEntity {
public:
    friend bool operator==(const AEntity& a, const AEntity& b) {
        return a.active == b.active && a.name == b.name && a.text == b.text && a.secondText == b.secondText;
    }
    friend bool operator!=(const AEntity& a, const AEntity& b) { return !(a == b); }

    bool active = false;
    std::string name;
    std::string text;
    std::string secondText;
};

// Implements the common entity attributes of interface I on an AEntity record of its own.
// A copy gets a new record; records are never shared.
template <typename I>
class AEntityBase : public I {
public:
    void SetActive(bool active) override { m_entity->active = active; }
    bool IsActive() const override { return m_entity->active; }
    void SetName(const std::string& name) override { m_entity->name = name; }
    const std::string& GetName() const override { return m_entity->name; }
    void SetText(const std::string& text) override { m_entity->text = text; }
    const std::string& GetText() const override { return m_entity->text; }
    void SetSecondText(const std::string& text) override { m_entity->secondText = text; }
    const std::string& GetSecondText() const override { return m_entity->secondText; }

    const AEntity& GetEntityRecord() const { return *m_entity; }

protected:
    AEntityBase() : m_entity(new AEntity) {}
    AEntityBase(const AEntityBase& other) : I(other), m_entity(new AEntity(*other.m_entity)) {}
    AEntityBase& operator=(const AEntityBase&) = delete;

private:
    boost::shared_ptr<AEntity> m_entity;
};

// Copies the common attributes in their fixed order: active flag, name, text, second text.
inline void CopyEntityAttributes(IEntity& target, const IEntity& source) {
    target.SetActive(source.IsActive());
    target.SetName(source.GetName());
    target.SetText(source.GetText());
    target.SetSecondText(source.GetSecondText());
}

// A deep copy of an object through its Clone, as a shared pointer of the object's own interface.
// Throws std::bad_cast when the clone is missing or of another kind, without leaking it.
template <typename T>
boost::shared_ptr<T> CloneShared(const T& object) {
    ICloneable* copy = object.Clone();
    T* typed = dynamic_cast<T*>(copy);
    if (!typed) {
        delete copy;
        throw std::bad_cast();
    }
    return boost::shared_ptr<T>(typed);
}

}  // namespace SL
