#include "tests/app/shell/SdkSpy.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace shelltest {

SdkSpy& SdkSpy::Get() {
    static SdkSpy spy;
    return spy;
}

void SdkSpy::Reset() {
    calls.clear();
    proxies.clear();
    deserialized.clear();
    m_counts.clear();
    m_failures.clear();
}

void SdkSpy::Fail(const std::string& function, int n, tmsdk_status_t code) {
    m_failures[function] = Planned{Count(function) + n, code};
}

int SdkSpy::Count(const std::string& function) const {
    auto found = m_counts.find(function);
    return found == m_counts.end() ? 0 : found->second;
}

bool SdkSpy::Enter(const std::string& function, tmsdk_status_t& failure) {
    calls.push_back(function);
    const int n = ++m_counts[function];
    auto planned = m_failures.find(function);
    if (planned == m_failures.end() || planned->second.n != n) return true;
    failure = planned->second.code;
    return false;
}

}  // namespace shelltest

namespace {

// The library's own definition of a function that this program defines too.
template <class Function>
Function Next(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == nullptr) std::abort();
    Function function;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
}

}  // namespace

// Each spied function: recorded, then failed as planned or passed on.
#define SPY_PASS_ON(short_name, full_name, ...)                               \
    tmsdk_status_t failure = 0;                                               \
    if (!shelltest::SdkSpy::Get().Enter(short_name, failure)) return failure; \
    static const auto next = Next<decltype(&full_name)>(#full_name);          \
    return next(__VA_ARGS__)

extern "C" {

tmsdk_status_t tmsdk_sdkmanager_initialize(const tmsdk_sdkmanager_handle_t** handle) {
    SPY_PASS_ON("sdkmanager_initialize", tmsdk_sdkmanager_initialize, handle);
}

tmsdk_status_t tmsdk_sdkmanager_shutdown(void) { SPY_PASS_ON("sdkmanager_shutdown", tmsdk_sdkmanager_shutdown); }

tmsdk_status_t tmsdk_tunefindcd_initialize(const tmsdk_sdkmanager_handle_t* manager) {
    SPY_PASS_ON("tunefindcd_initialize", tmsdk_tunefindcd_initialize, manager);
}

void tmsdk_tunefindcd_shutdown(void) {
    tmsdk_status_t failure = 0;
    shelltest::SdkSpy::Get().Enter("tunefindcd_shutdown", failure);
    static const auto next = Next<decltype(&tmsdk_tunefindcd_shutdown)>("tmsdk_tunefindcd_shutdown");
    next();
}

tmsdk_status_t tmsdk_sdkmanager_client_create(const char* client_id, const char* client_tag, const char* version,
                                              tmsdk_client_t* client) {
    SPY_PASS_ON("client_create", tmsdk_sdkmanager_client_create, client_id, client_tag, version, client);
}

tmsdk_status_t tmsdk_sdkmanager_client_option_set(tmsdk_client_t client, const char* key, const char* value) {
    if (key && value && std::strcmp(key, "tmsdk_proxy_host") == 0) shelltest::SdkSpy::Get().proxies.push_back(value);
    SPY_PASS_ON("client_option_set", tmsdk_sdkmanager_client_option_set, client, key, value);
}

tmsdk_status_t tmsdk_sdkmanager_user_register_new(tmsdk_client_t client, uint32_t reserved, tmsdk_user_t* user) {
    SPY_PASS_ON("user_register_new", tmsdk_sdkmanager_user_register_new, client, reserved, user);
}

tmsdk_status_t tmsdk_sdkmanager_user_deserialize(const char* text, uint32_t reserved, tmsdk_user_t* user) {
    if (text) shelltest::SdkSpy::Get().deserialized.push_back(text);
    SPY_PASS_ON("user_deserialize", tmsdk_sdkmanager_user_deserialize, text, reserved, user);
}

tmsdk_status_t tmsdk_sdkmanager_user_serialize(tmsdk_user_t user, char** text) {
    SPY_PASS_ON("user_serialize", tmsdk_sdkmanager_user_serialize, user, text);
}

tmsdk_status_t tmsdk_sdkmanager_list_retrieve(const char* type, const char* language, const char* region,
                                              const char* descriptor, tmsdk_client_t client, tmsdk_user_t user,
                                              tmsdk_list_status_fn status, void* data, tmsdk_list_t* list) {
    SPY_PASS_ON("list_retrieve", tmsdk_sdkmanager_list_retrieve, type, language, region, descriptor, client, user,
                status, data, list);
}

tmsdk_status_t tmsdk_sdkmanager_list_update(tmsdk_list_t list, tmsdk_client_t client, tmsdk_user_t user,
                                            tmsdk_list_status_fn status, void* data, uint8_t* updated) {
    SPY_PASS_ON("list_update", tmsdk_sdkmanager_list_update, list, client, user, status, data, updated);
}

tmsdk_status_t tmsdk_sdkmanager_list_serialize(tmsdk_list_t list, char** text) {
    SPY_PASS_ON("list_serialize", tmsdk_sdkmanager_list_serialize, list, text);
}

tmsdk_status_t tmsdk_tunefindcd_query_resolve(tmsdk_tunefindcd_query_t query, tmsdk_gdo_t response, uint32_t ordinal,
                                              tmsdk_gdo_t* album_response) {
    SPY_PASS_ON("query_resolve", tmsdk_tunefindcd_query_resolve, query, response, ordinal, album_response);
}

tmsdk_status_t tmsdk_tunefindcd_query_find_albums(tmsdk_tunefindcd_query_t query, uint32_t* match,
                                                  tmsdk_gdo_t* response) {
    SPY_PASS_ON("query_find_albums", tmsdk_tunefindcd_query_find_albums, query, match, response);
}

}  // extern "C"
