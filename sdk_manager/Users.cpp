// Clients, users and the serialised texts handed to callers.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include "sdk_manager/Interfaces.h"

namespace tmsdk {

namespace {

constexpr const char* kProxyOption = "tmsdk_proxy_host";
constexpr const char* kUserMagic = "tmsdk_user";
constexpr const char* kUserVersion = "1";
constexpr size_t kUserIdDigits = 16;

Client* AsClient(tmsdk_client_t client) { return reinterpret_cast<Client*>(client); }
User* AsUser(tmsdk_user_t user) { return reinterpret_cast<User*>(user); }

std::string NewUserId() {
    static std::mt19937_64 random(std::random_device{}()
                                  ^ static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char digits[kUserIdDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
    return digits;
}

bool IsHexId(const std::string& text) {
    if (text.size() != kUserIdDigits) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

tmsdk_user_t Keep(std::unique_ptr<User> user) {
    User* raw = user.get();
    GetState().users.emplace(raw, std::move(user));
    return reinterpret_cast<tmsdk_user_t>(raw);
}

}  // namespace

bool IsClient(tmsdk_client_t client) {
    Lock lock(GetState().lock);
    return GetState().clients.count(AsClient(client)) != 0;
}

bool IsUser(tmsdk_user_t user) {
    Lock lock(GetState().lock);
    return GetState().users.count(AsUser(user)) != 0;
}

}  // namespace tmsdk

using namespace tmsdk;

extern "C" {

tmsdk_status_t tmsdk_sdkmanager_client_create(const char* client_id, const char* client_tag, const char* version,
                                              tmsdk_client_t* client) {
    if (IsEmpty(client_id) || IsEmpty(client_tag) || IsEmpty(version) || !client) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        State& s = GetState();
        Lock lock(s.lock);
        if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        auto made = std::make_unique<Client>(Client{client_id, client_tag, version, {}});
        Client* raw = made.get();
        s.clients.emplace(raw, std::move(made));
        *client = reinterpret_cast<tmsdk_client_t>(raw);
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t tmsdk_sdkmanager_client_option_set(tmsdk_client_t client, const char* key, const char* value) {
    if (!client || IsEmpty(key) || !value) return TMSDK_STATUS_INVALID_ARGUMENT;
    if (std::strcmp(key, kProxyOption) != 0) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (!IsClient(client)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        AsClient(client)->proxyHost = value;
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t tmsdk_sdkmanager_client_release(tmsdk_client_t client) {
    if (!client) return TMSDK_STATUS_INVALID_ARGUMENT;
    Lock lock(GetState().lock);
    return GetState().clients.erase(AsClient(client)) ? 0 : TMSDK_STATUS_UNKNOWN_HANDLE;
}

tmsdk_status_t tmsdk_sdkmanager_user_register_new(tmsdk_client_t client, uint32_t reserved, tmsdk_user_t* user) {
    if (!client || reserved != 0 || !user) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (!IsClient(client)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        *user = Keep(std::make_unique<User>(User{AsClient(client)->id, NewUserId()}));
        return tmsdk_status_t{0};
    });
}

// "tmsdk_user 1 <client id> <user id>"
tmsdk_status_t tmsdk_sdkmanager_user_serialize(tmsdk_user_t user, char** text) {
    if (!user || !text) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (!IsUser(user)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        const User& u = *AsUser(user);
        *text = HandOutText(std::string(kUserMagic) + " " + kUserVersion + " " + u.clientId + " " + u.userId);
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t tmsdk_sdkmanager_user_deserialize(const char* text, uint32_t reserved, tmsdk_user_t* user) {
    if (IsEmpty(text) || reserved != 0 || !user) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        std::istringstream in(text);
        std::string magic, version, clientId, userId, rest;
        in >> magic >> version >> clientId >> userId;
        if (!in || (in >> rest) || magic != kUserMagic || version != kUserVersion || !IsHexId(userId))
            return TMSDK_STATUS_NOT_UNDERSTOOD;
        *user = Keep(std::make_unique<User>(User{clientId, userId}));
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t tmsdk_sdkmanager_user_release(tmsdk_user_t user) {
    if (!user) return TMSDK_STATUS_INVALID_ARGUMENT;
    Lock lock(GetState().lock);
    return GetState().users.erase(AsUser(user)) ? 0 : TMSDK_STATUS_UNKNOWN_HANDLE;
}

tmsdk_status_t tmsdk_sdkmanager_string_free(char* text) {
    if (!text) return 0;
    Lock lock(GetState().lock);
    if (!GetState().texts.erase(text)) return TMSDK_STATUS_UNKNOWN_HANDLE;
    delete[] text;
    return 0;
}

}  // extern "C"
