// A result object of the test's own, made through the manager's provider table: it records which slots the
// manager calls and answers values from a small map.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sdk_manager/tmsdk_sdkmanager.h"

namespace gbxtest {

struct ProbeData {
    std::string context = "tmsdk_ctx_album";
    std::map<std::string, std::vector<std::string>> values;
    std::vector<int> calls;  // slot numbers, in call order
    int releases = 0;
    uint32_t forwarded[3] = {0, 0, 0};
};

inline const tmsdk_gdo_provider_t& ProbeProvider() {
    static const tmsdk_gdo_provider_t table = {
        [](void* d) -> tmsdk_status_t {
            static_cast<ProbeData*>(d)->calls.push_back(0);
            return 0;
        },
        [](void* d, const char** context) -> tmsdk_status_t {
            auto* p = static_cast<ProbeData*>(d);
            p->calls.push_back(1);
            *context = p->context.c_str();
            return 0;
        },
        [](void* d, const char*, uint32_t* count) -> tmsdk_status_t {
            static_cast<ProbeData*>(d)->calls.push_back(2);
            *count = 0;
            return TMSDK_STATUS_NOT_FOUND;
        },
        [](void* d, const char*, uint32_t, uint32_t, tmsdk_gdo_t*) -> tmsdk_status_t {
            static_cast<ProbeData*>(d)->calls.push_back(3);
            return TMSDK_STATUS_NOT_FOUND;
        },
        [](void* d, const char* key, uint32_t* count) -> tmsdk_status_t {
            auto* p = static_cast<ProbeData*>(d);
            p->calls.push_back(4);
            auto it = p->values.find(key);
            if (it == p->values.end()) return TMSDK_STATUS_NOT_FOUND;
            *count = static_cast<uint32_t>(it->second.size());
            return 0;
        },
        [](void* d, const char* key, uint32_t ordinal, const char** value) -> tmsdk_status_t {
            auto* p = static_cast<ProbeData*>(d);
            p->calls.push_back(5);
            auto it = p->values.find(key);
            if (it == p->values.end() || ordinal == 0 || ordinal > it->second.size()) return TMSDK_STATUS_NOT_FOUND;
            *value = it->second[ordinal - 1].c_str();
            return 0;
        },
        nullptr,
        [](void* d, uint32_t a, uint32_t b, uint32_t c) -> tmsdk_status_t {
            auto* p = static_cast<ProbeData*>(d);
            p->calls.push_back(7);
            p->forwarded[0] = a;
            p->forwarded[1] = b;
            p->forwarded[2] = c;
            return 0;
        },
        [](void* d) -> tmsdk_status_t {
            auto* p = static_cast<ProbeData*>(d);
            p->calls.push_back(8);
            ++p->releases;
            return 0;
        },
    };
    return table;
}

}  // namespace gbxtest
