// Result objects: the manager's own and those a module makes over a provider table, reference-counted
// and reached only after a check against the register of live objects.
#include <cstdlib>
#include <cstring>

#include "sdk_manager/Interfaces.h"
#include "sdk_manager/tmsdk_sdkmanager_test.h"

namespace tmsdk {

namespace {

void Destroy(Gdo* object) {
    if (object->provider)
        object->provider->release(object->data);
    else
        for (auto& key : object->children)
            for (Gdo* child : key.second) Unref(child);
    delete object;
}

// A temporary reference on a live object, so that another thread's last release cannot free it mid-call.
tmsdk_status_t Acquire(tmsdk_gdo_t handle, GdoRef& held) {
    if (!handle) return TMSDK_STATUS_NOT_FOUND;
    Gdo* object = reinterpret_cast<Gdo*>(handle);
    Lock lock(GetState().lock);
    if (!GetState().gdos.count(object)) return TMSDK_STATUS_UNKNOWN_HANDLE;
    ++object->refs;
    held.object = object;
    return 0;
}

template <class T>
const std::vector<T>* Find(const std::vector<std::pair<std::string, std::vector<T>>>& lists, const char* key) {
    for (const auto& entry : lists)
        if (entry.first == key) return &entry.second;
    return nullptr;
}

// Children addressed by a value instead of their position: "tmsdk_ctx_track!number" finds the track whose
// track number is the ordinal.
const char* AddressingValue(const char* suffix) {
    if (std::strcmp(suffix, "number") == 0) return TMSDK_VAL_TRACKNUMBER;
    if (std::strcmp(suffix, "id") == 0) return TMSDK_VAL_CREDIT_ID;
    return nullptr;
}

bool ReadsAs(const char* text, uint32_t number) {
    if (!text || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return *end == '\0' && value == number;
}

// The children under a positional key, and for an addressed key the value that addresses them.
const std::vector<Gdo*>* ChildList(const Gdo& object, const char* key, const char** addressing) {
    *addressing = nullptr;
    if (const auto* list = Find(object.children, key)) return list;
    const char* bang = std::strchr(key, '!');
    if (!bang || !bang[1]) return nullptr;
    *addressing = AddressingValue(bang + 1);
    if (!*addressing) return nullptr;
    return Find(object.children, std::string(key, bang + 1).c_str());
}

tmsdk_status_t Create(void* data, const tmsdk_gdo_provider_t* provider, tmsdk_gdo_t* object) {
    if (!provider || !object || !provider->context || !provider->child_count || !provider->child_get
        || !provider->value_count || !provider->value_get || !provider->forward || !provider->release)
        return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        State& s = GetState();
        Lock lock(s.lock);
        if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        if (tmsdk_status_t fault = InjectedFault("gdo_create")) return fault;
        auto made = std::make_unique<Gdo>();
        made->data = data;
        made->provider = provider;
        s.gdos.insert(made.get());
        *object = Handle(made.release());
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t AddRef(tmsdk_gdo_t handle) {
    if (!handle) return TMSDK_STATUS_NOT_FOUND;
    Lock lock(GetState().lock);
    if (tmsdk_status_t fault = InjectedFault("gdo_addref")) return fault;
    Gdo* object = reinterpret_cast<Gdo*>(handle);
    if (!GetState().gdos.count(object)) return TMSDK_STATUS_UNKNOWN_HANDLE;
    ++object->refs;
    return 0;
}

tmsdk_status_t Release(tmsdk_gdo_t handle) {
    if (!handle) return 0;
    Gdo* object = reinterpret_cast<Gdo*>(handle);
    {
        Lock lock(GetState().lock);
        if (!GetState().gdos.count(object)) return TMSDK_STATUS_UNKNOWN_HANDLE;
    }
    Unref(object);
    return 0;
}

tmsdk_status_t ContextGet(tmsdk_gdo_t handle, const char** context) {
    if (!context) return TMSDK_STATUS_INVALID_ARGUMENT;
    GdoRef held;
    if (tmsdk_status_t status = Acquire(handle, held)) return status;
    Gdo* object = held.object;
    if (object->provider) return object->provider->context(object->data, context);
    *context = object->context.c_str();
    return 0;
}

tmsdk_status_t ValueCount(tmsdk_gdo_t handle, const char* key, uint32_t* count) {
    if (IsEmpty(key) || !count) return TMSDK_STATUS_INVALID_ARGUMENT;
    GdoRef held;
    if (tmsdk_status_t status = Acquire(handle, held)) return status;
    Gdo* object = held.object;
    if (object->provider) return object->provider->value_count(object->data, key, count);
    const auto* list = Find(object->values, key);
    if (!list) return TMSDK_STATUS_NOT_FOUND;
    *count = static_cast<uint32_t>(list->size());
    return 0;
}

tmsdk_status_t ValueGet(tmsdk_gdo_t handle, const char* key, uint32_t ordinal, const char** value) {
    if (IsEmpty(key) || !value) return TMSDK_STATUS_INVALID_ARGUMENT;
    {
        Lock lock(GetState().lock);
        if (tmsdk_status_t fault = InjectedFault("gdo_value_get")) return fault;
    }
    GdoRef held;
    if (tmsdk_status_t status = Acquire(handle, held)) return status;
    Gdo* object = held.object;
    if (object->provider) return object->provider->value_get(object->data, key, ordinal, value);
    const auto* list = Find(object->values, key);
    if (!list || ordinal == 0 || ordinal > list->size()) return TMSDK_STATUS_NOT_FOUND;
    *value = (*list)[ordinal - 1].c_str();
    return 0;
}

tmsdk_status_t ChildCount(tmsdk_gdo_t handle, const char* key, uint32_t* count) {
    if (IsEmpty(key) || !count) return TMSDK_STATUS_INVALID_ARGUMENT;
    {
        Lock lock(GetState().lock);
        if (tmsdk_status_t fault = InjectedFault("gdo_child_count")) return fault;
    }
    GdoRef held;
    if (tmsdk_status_t status = Acquire(handle, held)) return status;
    Gdo* object = held.object;
    if (object->provider) return object->provider->child_count(object->data, key, count);
    const char* addressing;
    const auto* list = ChildList(*object, key, &addressing);
    if (!list) return TMSDK_STATUS_NOT_FOUND;
    *count = static_cast<uint32_t>(list->size());
    return 0;
}

tmsdk_status_t ChildGet(tmsdk_gdo_t handle, const char* key, uint32_t ordinal, uint32_t flag, tmsdk_gdo_t* child) {
    if (IsEmpty(key) || !child || flag > 1) return TMSDK_STATUS_INVALID_ARGUMENT;
    {
        Lock lock(GetState().lock);
        if (tmsdk_status_t fault = InjectedFault("gdo_child_get")) return fault;
    }
    GdoRef held;
    if (tmsdk_status_t status = Acquire(handle, held)) return status;
    Gdo* object = held.object;
    if (object->provider) return object->provider->child_get(object->data, key, ordinal, flag, child);
    const char* addressing;
    const auto* list = ChildList(*object, key, &addressing);
    if (!list || ordinal == 0) return TMSDK_STATUS_NOT_FOUND;
    Gdo* found = nullptr;
    if (!addressing) {
        if (ordinal <= list->size()) found = (*list)[ordinal - 1];
    } else {
        for (Gdo* candidate : *list) {
            const char* text = nullptr;
            if (GdoValueGet(Handle(candidate), addressing, 1, &text) == 0 && ReadsAs(text, ordinal)) {
                found = candidate;
                break;
            }
        }
    }
    if (!found) return TMSDK_STATUS_NOT_FOUND;
    Lock lock(GetState().lock);
    ++found->refs;
    *child = Handle(found);
    return 0;
}

tmsdk_status_t Forward(tmsdk_gdo_t handle, uint32_t a, uint32_t b, uint32_t c) {
    GdoRef held;
    if (tmsdk_status_t status = Acquire(handle, held)) return status;
    Gdo* object = held.object;
    return object->provider ? object->provider->forward(object->data, a, b, c) : 0;
}

}  // namespace

Gdo* NewGdo(const std::string& context) {
    auto made = std::make_unique<Gdo>();
    made->context = context;
    Lock lock(GetState().lock);
    GetState().gdos.insert(made.get());
    return made.release();
}

void AddValue(Gdo* object, const std::string& key, const std::string& value) {
    for (auto& entry : object->values)
        if (entry.first == key) {
            entry.second.push_back(value);
            return;
        }
    object->values.emplace_back(key, std::vector<std::string>{value});
}

void AddChild(Gdo* parent, const std::string& key, Gdo* child) {
    GdoRef owned(child);
    for (auto& entry : parent->children)
        if (entry.first == key) {
            if (child) entry.second.push_back(owned.Release());
            return;
        }
    parent->children.emplace_back(key, std::vector<Gdo*>{});
    if (child) parent->children.back().second.push_back(owned.Release());
}

void Unref(Gdo* object) {
    bool last;
    {
        Lock lock(GetState().lock);
        last = --object->refs == 0;
        if (last) GetState().gdos.erase(object);
    }
    if (last) Destroy(object);
}

bool IsGdo(tmsdk_gdo_t object) {
    Lock lock(GetState().lock);
    return GetState().gdos.count(reinterpret_cast<Gdo*>(object)) != 0;
}

tmsdk_status_t GdoValueGet(tmsdk_gdo_t object, const char* key, uint32_t ordinal, const char** value) {
    return ValueGet(object, key, ordinal, value);
}

void ForgetGdos() {
    State& s = GetState();
    std::vector<Gdo*> all(s.gdos.begin(), s.gdos.end());
    s.gdos.clear();
    // Providers first: their release may hand references back, which are refused now that nothing is live.
    for (Gdo* object : all)
        if (object->provider) object->provider->release(object->data);
    for (Gdo* object : all) delete object;
}

const tmsdk_gdo_interface_t& GdoInterface() {
    static const tmsdk_gdo_interface_t table = {[] { return ReleaseInterface(kGdo); },
                                                Create,
                                                AddRef,
                                                Release,
                                                ContextGet,
                                                ValueCount,
                                                ValueGet,
                                                ChildCount,
                                                ChildGet,
                                                Forward};
    return table;
}

}  // namespace tmsdk

using namespace tmsdk;

extern "C" {

tmsdk_status_t tmsdk_sdkmanager_gdo_get_context(tmsdk_gdo_t object, const char** context) {
    return ContextGet(object, context);
}

tmsdk_status_t tmsdk_sdkmanager_gdo_child_count(tmsdk_gdo_t object, const char* key, uint32_t* count) {
    return ChildCount(object, key, count);
}

tmsdk_status_t tmsdk_sdkmanager_gdo_child_get(tmsdk_gdo_t object, const char* key, uint32_t ordinal,
                                              tmsdk_gdo_t* child) {
    return ChildGet(object, key, ordinal, 0, child);
}

tmsdk_status_t tmsdk_sdkmanager_gdo_value_get(tmsdk_gdo_t object, const char* key, uint32_t ordinal,
                                              const char** value) {
    return ValueGet(object, key, ordinal, value);
}

tmsdk_status_t tmsdk_sdkmanager_gdo_release(tmsdk_gdo_t object) { return Release(object); }

}  // extern "C"

extern "C" {

tmsdk_status_t tmsdk_sdkmanager_test_gdo_create(const char* context, tmsdk_gdo_t* object) {
    if (IsEmpty(context) || !object) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        {
            Lock lock(GetState().lock);
            if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        }
        *object = Handle(NewGdo(context));
        return tmsdk_status_t{0};
    });
}

// Only the manager's own objects take values and children; a module's answer through their providers.
tmsdk_status_t tmsdk_sdkmanager_test_gdo_value_add(tmsdk_gdo_t object, const char* key, const char* value) {
    if (!object || IsEmpty(key) || !value) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (!IsGdo(object)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        Gdo* own = reinterpret_cast<Gdo*>(object);
        if (own->provider) return TMSDK_STATUS_INVALID_ARGUMENT;
        AddValue(own, key, value);
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t tmsdk_sdkmanager_test_gdo_child_add(tmsdk_gdo_t parent, const char* key, tmsdk_gdo_t child) {
    if (!parent || IsEmpty(key)) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (!IsGdo(parent) || (child && !IsGdo(child))) return TMSDK_STATUS_UNKNOWN_HANDLE;
        Gdo* own = reinterpret_cast<Gdo*>(parent);
        if (own->provider || child == parent) return TMSDK_STATUS_INVALID_ARGUMENT;
        Gdo* added = reinterpret_cast<Gdo*>(child);
        if (added) ++added->refs;  // the parent's own reference
        AddChild(own, key, added);
        return tmsdk_status_t{0};
    });
}

}  // extern "C"
