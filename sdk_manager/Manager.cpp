// Start and stop of the manager and of its platform layer, package registration, the interface look-up
// and the two small interfaces (error information, handles), the hooks, and the test calls' counters.
#include <cstring>

#include "sdk_manager/Interfaces.h"
#include "sdk_manager/Internal.h"
#include "sdk_manager/tmsdk_sdkmanager_test.h"

extern "C" {
uint32_t tmsdk_sdkmanager_package_flags[256];
tmsdk_sdkmanager_log_fn tmsdk_sdkmanager_log_callback = nullptr;
tmsdk_sdkmanager_error_fn tmsdk_sdkmanager_error_callback = nullptr;
}

namespace tmsdk {

State& GetState() {
    static State state;
    return state;
}

bool Started() { return GetState().initializeCount > 0; }

tmsdk_status_t InjectedFault(const char* operation) {
    State& s = GetState();
    if (s.faults.empty()) return 0;
    auto it = s.faults.find(operation);
    if (it == s.faults.end()) return 0;
    Fault& f = it->second;
    if (++f.seen != f.n) return 0;
    const tmsdk_status_t code = f.code;
    s.faults.erase(it);
    return code;
}

void Log(uint32_t line, const char* text) {
    tmsdk_sdkmanager_log_fn log = tmsdk_sdkmanager_log_callback;
    if (log && (tmsdk_sdkmanager_package_flags[TMSDK_SDKMANAGER_PACKAGE] & TMSDK_PACKAGE_FLAG_LOG))
        log(line, "tmsdk_sdkmanager", TMSDK_SDKMANAGER_PACKAGE, 4, text);
}

char* HandOutText(const std::string& text) {
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    try {
        GetState().texts.insert(copy);
    } catch (...) {
        delete[] copy;
        throw;
    }
    return copy;
}

namespace {

uint32_t g_held[kInterfaceCount];

tmsdk_status_t ErrorInfoSet(const void* handle, uint32_t code, uint32_t detail) {
    if (!handle) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        GetState().errorInfo[handle] = {code, detail};
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t HandleRegister(const void* handle, uint32_t magic) {
    if (!handle) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        State& s = GetState();
        Lock lock(s.lock);
        if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        if (tmsdk_status_t fault = InjectedFault("handle_register")) return fault;
        if (!s.moduleHandles.emplace(handle, magic).second) return TMSDK_STATUS_ALREADY;
        return tmsdk_status_t{0};
    });
}

// Answers from the records only: the handle itself is never read.
tmsdk_status_t CheckHandle(const void* handle, uint32_t magic) {
    const auto& handles = GetState().moduleHandles;
    auto it = handles.find(handle);
    if (it == handles.end()) return TMSDK_STATUS_UNKNOWN_HANDLE;
    return it->second == magic ? 0 : TMSDK_STATUS_WRONG_KIND;
}

tmsdk_status_t HandleUnregister(const void* handle, uint32_t magic) {
    if (!handle) return TMSDK_STATUS_INVALID_ARGUMENT;
    State& s = GetState();
    Lock lock(s.lock);
    if (tmsdk_status_t fault = InjectedFault("handle_unregister")) return fault;
    if (tmsdk_status_t status = CheckHandle(handle, magic)) return status;
    s.moduleHandles.erase(handle);
    s.errorInfo.erase(handle);
    return 0;
}

tmsdk_status_t HandleValidate(const void* handle, uint32_t magic) {
    if (!handle) return TMSDK_STATUS_INVALID_ARGUMENT;
    Lock lock(GetState().lock);
    return CheckHandle(handle, magic);
}

tmsdk_status_t ClientValidate(tmsdk_client_t client) {
    if (!client) return TMSDK_STATUS_INVALID_ARGUMENT;
    return IsClient(client) ? 0 : TMSDK_STATUS_UNKNOWN_HANDLE;
}

tmsdk_status_t UserValidate(tmsdk_user_t user) {
    if (!user) return TMSDK_STATUS_INVALID_ARGUMENT;
    return IsUser(user) ? 0 : TMSDK_STATUS_UNKNOWN_HANDLE;
}

tmsdk_status_t GdoValidate(tmsdk_gdo_t object) {
    if (!object) return TMSDK_STATUS_INVALID_ARGUMENT;
    return IsGdo(object) ? 0 : TMSDK_STATUS_UNKNOWN_HANDLE;
}

const tmsdk_errorinfo_interface_t kErrorInfoInterface = {[] { return ReleaseInterface(kErrorInfo); }, ErrorInfoSet};
const tmsdk_handles_interface_t kHandlesInterface = {[] { return ReleaseInterface(kHandles); },
                                                     HandleRegister,
                                                     HandleUnregister,
                                                     HandleValidate,
                                                     ClientValidate,
                                                     UserValidate,
                                                     GdoValidate};

tmsdk_status_t InterfaceGet(const char* name, const void** table) {
    if (IsEmpty(name) || !table) return TMSDK_STATUS_INVALID_ARGUMENT;
    static const struct {
        const char* name;
        InterfaceIndex index;
        const void* table;
    } kTables[] = {
        {TMSDK_INTERFACE_ERRORINFO, kErrorInfo, &kErrorInfoInterface},
        {TMSDK_INTERFACE_HANDLES, kHandles, &kHandlesInterface},
        {TMSDK_INTERFACE_LOOKUP, kLookup, &LookupInterface()},
        {TMSDK_INTERFACE_GDO, kGdo, &GdoInterface()},
        {TMSDK_INTERFACE_LISTS, kLists, &ListsInterface()},
    };
    State& s = GetState();
    Lock lock(s.lock);
    if (!Started()) return TMSDK_STATUS_NOT_STARTED;
    for (const auto& t : kTables) {
        if (std::strcmp(t.name, name) != 0) continue;
        if (tmsdk_status_t fault = InjectedFault(name)) return fault;
        ++g_held[t.index];
        ++s.interfacesHeld;
        *table = t.table;
        return 0;
    }
    return TMSDK_STATUS_INVALID_ARGUMENT;
}

tmsdk_status_t PackageRegister(uint32_t package, const char* name) {
    if (package > 0xFF || IsEmpty(name)) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        State& s = GetState();
        Lock lock(s.lock);
        if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        if (tmsdk_status_t fault = InjectedFault("package_register")) return fault;
        auto it = s.packages.find(package);
        if (it == s.packages.end()) {
            s.packages.emplace(package, name);
            return tmsdk_status_t{0};
        }
        // The same package again is fine (every start of a module registers); another name for it is not.
        return it->second == name ? 0 : TMSDK_STATUS_ALREADY;
    });
}

const tmsdk_sdkmanager_handle_t kHandle = {TMSDK_SDKMANAGER_HANDLE_MAGIC, InterfaceGet, PackageRegister};

}  // namespace

tmsdk_status_t ReleaseInterface(InterfaceIndex index) {
    Lock lock(GetState().lock);
    if (g_held[index] == 0) return TMSDK_STATUS_NOT_STARTED;
    --g_held[index];
    --GetState().interfacesHeld;
    return 0;
}

}  // namespace tmsdk

using namespace tmsdk;

extern "C" {

tmsdk_status_t tmsdk_sdkmanager_initialize(const tmsdk_sdkmanager_handle_t** handle) {
    if (!handle) return TMSDK_STATUS_INVALID_ARGUMENT;
    Lock lock(GetState().lock);
    ++GetState().initializeCount;
    *handle = &kHandle;
    return 0;
}

tmsdk_status_t tmsdk_sdkmanager_shutdown(void) {
    State& s = GetState();
    Lock lock(s.lock);
    if (s.initializeCount == 0) return TMSDK_STATUS_NOT_STARTED;
    if (--s.initializeCount > 0) return 0;
    // The last stop forgets whatever callers still hold; their handles are refused from now on.
    ForgetLookups();
    ForgetGdos();
    ForgetLists();
    s.users.clear();
    s.clients.clear();
    for (char* text : s.texts) delete[] text;
    s.texts.clear();
    s.moduleHandles.clear();
    s.errorInfo.clear();
    s.packages.clear();
    return 0;
}

tmsdk_status_t tmsdk_sdkmanager_platform_initialize(void) {
    Lock lock(GetState().lock);
    if (tmsdk_status_t fault = InjectedFault("platform_initialize")) return fault;
    ++GetState().platformCount;
    return 0;
}

tmsdk_status_t tmsdk_sdkmanager_platform_shutdown(void) {
    Lock lock(GetState().lock);
    if (tmsdk_status_t fault = InjectedFault("platform_shutdown")) return fault;
    if (GetState().platformCount == 0) return TMSDK_STATUS_NOT_STARTED;
    --GetState().platformCount;
    return 0;
}

void tmsdk_sdkmanager_test_fail(const char* operation, uint32_t n, tmsdk_status_t code) {
    Guarded([&] {
        State& s = GetState();
        Lock lock(s.lock);
        if (!operation)
            s.faults.clear();
        else if (n == 0)
            s.faults.erase(operation);
        else
            s.faults[operation] = Fault{n, 0, code};
        return tmsdk_status_t{0};
    });
}

uint32_t tmsdk_sdkmanager_test_platform_count(void) {
    Lock lock(GetState().lock);
    return GetState().platformCount;
}

uint32_t tmsdk_sdkmanager_test_initialize_count(void) {
    Lock lock(GetState().lock);
    return GetState().initializeCount;
}

uint32_t tmsdk_sdkmanager_test_interfaces_held(void) {
    Lock lock(GetState().lock);
    return GetState().interfacesHeld;
}

uint32_t tmsdk_sdkmanager_test_handles_registered(void) {
    Lock lock(GetState().lock);
    return static_cast<uint32_t>(GetState().moduleHandles.size());
}

uint32_t tmsdk_sdkmanager_test_objects_live(void) {
    Lock lock(GetState().lock);
    return static_cast<uint32_t>(GetState().gdos.size());
}

uint32_t tmsdk_sdkmanager_test_lookups_live(void) {
    Lock lock(GetState().lock);
    return static_cast<uint32_t>(GetState().lookups.size());
}

const char* tmsdk_sdkmanager_test_package_name(uint32_t package) {
    Lock lock(GetState().lock);
    auto it = GetState().packages.find(package);
    return it == GetState().packages.end() ? nullptr : it->second.c_str();
}

tmsdk_status_t tmsdk_sdkmanager_test_errorinfo_get(const void* handle, uint32_t* code, uint32_t* detail) {
    if (!code || !detail) return TMSDK_STATUS_INVALID_ARGUMENT;
    Lock lock(GetState().lock);
    auto it = GetState().errorInfo.find(handle);
    if (it == GetState().errorInfo.end()) return TMSDK_STATUS_NOT_FOUND;
    *code = it->second.first;
    *detail = it->second.second;
    return 0;
}

}  // extern "C"
