// Lookups: requests with their data, one execution, a response per request. The execution runs without
// the manager's lock, so that status functions may call back and other threads are not held up.
#include <cstring>

#include "sdk_manager/Lookup.h"

namespace tmsdk {

namespace {

struct RequestKind {
    const char* type;
    const char* keys[2];  // the data it needs (a null second key: one only)
};

const RequestKind kKinds[] = {
    {TMSDK_LOOKUP_TYPE_ALBUM_TOC, {TMSDK_LOOKUP_DATA_TOC, nullptr}},
    {TMSDK_LOOKUP_TYPE_ALBUM_TUI, {TMSDK_LOOKUP_DATA_TUI, TMSDK_LOOKUP_DATA_TUI_TAG}},
    {TMSDK_LOOKUP_TYPE_ALBUM_LINK_CHAINED, {TMSDK_LOOKUP_DATA_CHAINED_INPUT, nullptr}},
    {TMSDK_LOOKUP_TYPE_ALBUM_EXTRA_CHAINED, {TMSDK_LOOKUP_DATA_CHAINED_INPUT, nullptr}},
};

const RequestKind* FindKind(const char* type) {
    for (const RequestKind& k : kKinds)
        if (std::strcmp(k.type, type) == 0) return &k;
    return nullptr;
}

Lookup* AsLookup(tmsdk_lookup_t lookup) { return reinterpret_cast<Lookup*>(lookup); }

// The live lookup behind a handle, kept alive by the returned pointer. Lock held.
std::shared_ptr<Lookup> Find(tmsdk_lookup_t handle) {
    auto& lookups = GetState().lookups;
    auto it = lookups.find(AsLookup(handle));
    return it == lookups.end() ? nullptr : it->second;
}

Request* FindRequest(Lookup& lookup, const char* id) {
    for (Request& r : lookup.requests)
        if (r.id == id) return &r;
    return nullptr;
}

tmsdk_status_t Create(tmsdk_client_t client, tmsdk_user_t user, tmsdk_lookup_status_fn status, void* data,
                      tmsdk_lookup_t* lookup) {
    if (!client || !user || !lookup) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        State& s = GetState();
        Lock lock(s.lock);
        if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        if (tmsdk_status_t fault = InjectedFault("lookup_create")) return fault;
        if (!IsClient(client) || !IsUser(user)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        auto made = std::make_shared<Lookup>();
        made->status = status;
        made->data = data;
        s.lookups.emplace(made.get(), made);
        *lookup = reinterpret_cast<tmsdk_lookup_t>(made.get());
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t RequestAdd(tmsdk_lookup_t handle, const char* type, const char* id, const char* service) {
    if (!handle || IsEmpty(type) || IsEmpty(id) || IsEmpty(service)) return TMSDK_STATUS_INVALID_ARGUMENT;
    if (!FindKind(type) || std::strcmp(service, TMSDK_LOOKUP_SERVICE) != 0) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (tmsdk_status_t fault = InjectedFault("request_add")) return fault;
        std::shared_ptr<Lookup> lookup = Find(handle);
        if (!lookup) return TMSDK_STATUS_UNKNOWN_HANDLE;
        if (lookup->phase != Lookup::Phase::kFresh) return TMSDK_STATUS_BAD_STATE;
        if (FindRequest(*lookup, id)) return TMSDK_STATUS_INVALID_ARGUMENT;
        lookup->requests.push_back(Request{id, type, service, {}});
        return tmsdk_status_t{0};
    });
}

// The text is always copied, whatever the copy flag says.
tmsdk_status_t DataSet(tmsdk_lookup_t handle, const char* id, const char* key, const char* value, uint32_t copy) {
    if (!handle || IsEmpty(id) || IsEmpty(key) || !value || copy > 1) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (tmsdk_status_t fault = InjectedFault("data_set")) return fault;
        std::shared_ptr<Lookup> lookup = Find(handle);
        if (!lookup) return TMSDK_STATUS_UNKNOWN_HANDLE;
        if (lookup->phase != Lookup::Phase::kFresh) return TMSDK_STATUS_BAD_STATE;
        Request* request = FindRequest(*lookup, id);
        if (!request) return TMSDK_STATUS_INVALID_ARGUMENT;
        const RequestKind& kind = *FindKind(request->type.c_str());
        bool known = false;
        for (const char* k : kind.keys) known = known || (k && std::strcmp(k, key) == 0);
        if (!known) return TMSDK_STATUS_INVALID_ARGUMENT;
        for (auto& entry : request->data)
            if (entry.first == key) {
                entry.second = value;
                return tmsdk_status_t{0};
            }
        request->data.emplace_back(key, value);
        return tmsdk_status_t{0};
    });
}

// Every request has the data its type needs; a chained one names a request before it that is not chained.
bool Complete(const Lookup& lookup) {
    if (lookup.requests.empty()) return false;
    for (size_t i = 0; i < lookup.requests.size(); ++i) {
        const Request& r = lookup.requests[i];
        const RequestKind& kind = *FindKind(r.type.c_str());
        for (const char* key : kind.keys)
            if (key && !r.Data(key)) return false;
        if (const char* input = r.Data(TMSDK_LOOKUP_DATA_CHAINED_INPUT)) {
            bool named = false;
            for (size_t j = 0; j < i; ++j)
                named = named || (lookup.requests[j].id == input && !lookup.requests[j].IsChained());
            if (!named) return false;
        }
    }
    return true;
}

tmsdk_status_t Execute(tmsdk_lookup_t handle) {
    if (!handle) return TMSDK_STATUS_INVALID_ARGUMENT;
    std::shared_ptr<Lookup> lookup;
    tmsdk_status_t result = Guarded([&] {
        Lock lock(GetState().lock);
        if (tmsdk_status_t fault = InjectedFault("execute")) return fault;
        lookup = Find(handle);
        if (!lookup) return TMSDK_STATUS_UNKNOWN_HANDLE;
        if (lookup->phase == Lookup::Phase::kExecuting) return TMSDK_STATUS_BUSY;
        if (lookup->phase == Lookup::Phase::kDone) return TMSDK_STATUS_BAD_STATE;
        if (!Complete(*lookup)) return TMSDK_STATUS_INVALID_ARGUMENT;
        lookup->phase = Lookup::Phase::kExecuting;
        return tmsdk_status_t{0};
    });
    if (result != 0) return result;
    // Outside the lock: the answers may take their time and status functions may call back.
    std::vector<GdoRef> responses(lookup->requests.size());
    result = Guarded([&] { return Answer(*lookup, responses); });
    if (result == 0 && lookup->aborted) result = TMSDK_STATUS_ABORTED;
    Lock lock(GetState().lock);
    lookup->phase = Lookup::Phase::kDone;
    if (result == 0)
        for (size_t i = 0; i < responses.size(); ++i) lookup->responses.emplace_back(responses[i].Release());
    return result;
}

tmsdk_status_t ResponseGet(tmsdk_lookup_t handle, const char* id, tmsdk_gdo_t* response) {
    if (!handle || IsEmpty(id) || !response) return TMSDK_STATUS_INVALID_ARGUMENT;
    Lock lock(GetState().lock);
    if (tmsdk_status_t fault = InjectedFault("response_get")) return fault;
    std::shared_ptr<Lookup> lookup = Find(handle);
    if (!lookup) return TMSDK_STATUS_UNKNOWN_HANDLE;
    if (lookup->phase == Lookup::Phase::kExecuting) return TMSDK_STATUS_BUSY;
    if (lookup->phase != Lookup::Phase::kDone) return TMSDK_STATUS_BAD_STATE;
    for (size_t i = 0; i < lookup->responses.size(); ++i) {
        if (lookup->requests[i].id != id) continue;
        Gdo* object = lookup->responses[i];
        ++object->refs;
        *response = Handle(object);
        return 0;
    }
    return TMSDK_STATUS_NOT_FOUND;
}

tmsdk_status_t LookupRelease(tmsdk_lookup_t handle) {
    if (!handle) return TMSDK_STATUS_INVALID_ARGUMENT;
    std::shared_ptr<Lookup> lookup;
    {
        Lock lock(GetState().lock);
        if (tmsdk_status_t fault = InjectedFault("lookup_release")) return fault;
        lookup = Find(handle);
        if (!lookup) return TMSDK_STATUS_UNKNOWN_HANDLE;
        if (lookup->phase == Lookup::Phase::kExecuting) return TMSDK_STATUS_BUSY;
        GetState().lookups.erase(lookup.get());
    }
    for (Gdo* response : lookup->responses) Unref(response);
    lookup->responses.clear();
    return 0;
}

}  // namespace

std::shared_ptr<Lookup> FindLookup(tmsdk_lookup_t handle) {
    Lock lock(GetState().lock);
    return Find(handle);
}

const char* Request::Data(const char* key) const {
    for (const auto& entry : data)
        if (entry.first == key) return entry.second.c_str();
    return nullptr;
}

bool Request::IsChained() const {
    return type == TMSDK_LOOKUP_TYPE_ALBUM_LINK_CHAINED || type == TMSDK_LOOKUP_TYPE_ALBUM_EXTRA_CHAINED;
}

bool SendStatus(Lookup& lookup, uint32_t size, uint32_t id, uint32_t value0, uint32_t value1, uint32_t value2) {
    if (!lookup.status) return false;
    tmsdk_lookup_status_t record = {size, id, {value0, value1, value2}};
    uint8_t abort = 0;
    lookup.status(lookup.data, &record, &abort);
    if (abort) lookup.aborted = true;
    return abort != 0;
}

tmsdk_status_t Fail(Lookup& lookup, tmsdk_status_t code, uint32_t request, uint32_t detail) {
    SendStatus(lookup, 20, TMSDK_LOOKUP_STATUS_FAILED, code, request, detail);
    return code;
}

void ForgetLookups() {
    State& s = GetState();
    for (auto& entry : s.lookups) {
        for (Gdo* response : entry.second->responses) Unref(response);
        entry.second->responses.clear();
    }
    s.lookups.clear();
}

const tmsdk_lookup_interface_t& LookupInterface() {
    static const tmsdk_lookup_interface_t table = {
        [] { return ReleaseInterface(kLookup); }, Create, RequestAdd, DataSet, Execute, ResponseGet, LookupRelease};
    return table;
}

}  // namespace tmsdk
