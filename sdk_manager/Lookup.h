// A lookup's requests and responses, shared by the lookup interface and the engines that answer it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sdk_manager/Interfaces.h"

namespace tmsdk {

struct Request {
    std::string id, type, service;
    std::vector<std::pair<std::string, std::string>> data;
    const char* Data(const char* key) const;  // null when not set
    bool IsChained() const;
};

struct Lookup {
    enum class Phase { kFresh, kExecuting, kDone };
    tmsdk_lookup_status_fn status = nullptr;
    void* data = nullptr;
    std::vector<Request> requests;
    Phase phase = Phase::kFresh;
    bool aborted = false;
    std::vector<Gdo*> responses;  // one per request once executed; the lookup holds a reference to each
};

// Hands a status record to the lookup's status function; true when it asked to abort.
bool SendStatus(Lookup& lookup, uint32_t size, uint32_t id, uint32_t value0 = 0, uint32_t value1 = 0,
                uint32_t value2 = 0);
// Sends the failure status (id 19) and answers the code.
tmsdk_status_t Fail(Lookup& lookup, tmsdk_status_t code, uint32_t request, uint32_t detail);

// The live lookup behind a handle, kept alive by the pointer; null when there is none.
std::shared_ptr<Lookup> FindLookup(tmsdk_lookup_t handle);

// Answers every request of an executing lookup (one response each), from the installed engine.
tmsdk_status_t Answer(Lookup& lookup, std::vector<GdoRef>& responses);

}  // namespace tmsdk
