// What the manager's sources share: the process-wide state, its lock, the named-call failures of the test
// calls, and the guard that keeps exceptions from crossing the C interface.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "sdk_manager/tmsdk_sdkmanager.h"

namespace tmsdk {

struct Gdo;
struct Lookup;
struct List;

struct Client {
    std::string id, tag, version, proxyHost;
};

struct User {
    std::string clientId;
    std::string userId;  // 16 hexadecimal digits
};

struct Fault {
    uint32_t n = 0;     // fail the n-th call from when it was set
    uint32_t seen = 0;  // calls since
    tmsdk_status_t code = 0;
};

struct State {
    std::recursive_mutex lock;
    uint32_t initializeCount = 0;
    uint32_t platformCount = 0;
    uint32_t interfacesHeld = 0;
    std::unordered_map<uint32_t, std::string> packages;
    std::unordered_map<const void*, uint32_t> moduleHandles;  // handle -> magic
    std::unordered_map<const void*, std::pair<uint32_t, uint32_t>> errorInfo;
    std::unordered_map<Client*, std::unique_ptr<Client>> clients;
    std::unordered_map<User*, std::unique_ptr<User>> users;
    std::unordered_map<List*, std::unique_ptr<List>> lists;
    std::unordered_map<Lookup*, std::shared_ptr<Lookup>> lookups;
    std::unordered_set<Gdo*> gdos;
    std::unordered_set<char*> texts;  // serialised texts handed out and not yet freed
    std::unordered_map<std::string, Fault> faults;
};

State& GetState();

using Lock = std::lock_guard<std::recursive_mutex>;

// For a named call: the code it must answer instead of running (see tmsdk_sdkmanager_test_fail), else 0.
// Called with the lock held.
tmsdk_status_t InjectedFault(const char* operation);

bool Started();  // lock held
bool IsClient(tmsdk_client_t client);
bool IsUser(tmsdk_user_t user);

// A serialised text for the caller, recorded so that string_free can refuse foreign pointers. Lock held.
char* HandOutText(const std::string& text);

// Called when the last shutdown forgets what is still held.
void ForgetLists();
void ForgetLookups();
void ForgetGdos();

// Text as the C interface gives it: null stays apart from empty.
inline bool IsEmpty(const char* text) { return !text || !*text; }

// Runs a body that may throw (containers, strings) and answers a status code instead.
template <class Body>
tmsdk_status_t Guarded(Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return TMSDK_STATUS_NO_MEMORY;
    } catch (...) {
        return TMSDK_STATUS_NO_MEMORY;  // length and system errors: the same for a caller, nothing was made
    }
}

// Log line through the log hook when the manager's package has its log flag set.
void Log(uint32_t line, const char* text);

}  // namespace tmsdk
